#pragma once

#include <QHash>
#include <QList>
#include <QObject>

#include "records/m_db_file.h"

class VTransferTask;
class VUploadTask;
class db_self;

// The transfers of one kind (uploads or downloads) as the transfer list
// holds them, without widgets: one task per log row, in list order, found by
// id. It listens to the hub once for the whole kind: new records, admission
// by id (a lookup, not a broadcast to every row), start-all, stop-all and
// cancel-all. A page shows a window of it; tests and tools use it directly.
class VTransferTaskList : public QObject
{
    Q_OBJECT
public:
    enum Kind { Download = 1, Upload = 2 };

    // store may be null for a list that keeps no log (it then never restores).
    VTransferTaskList(Kind kind, db_self *store, QObject *parent = nullptr);
    ~VTransferTaskList() override;

    Kind kind() const { return m_kind; }
    int count() const { return m_tasks.size(); }
    VTransferTask *at(int index) const { return m_tasks.value(index); }
    VTransferTask *task(int id) const { return m_byId.value(id); }
    int indexOf(VTransferTask *task) const { return m_tasks.indexOf(task); }
    const QList<VTransferTask *> &tasks() const { return m_tasks; }

    // Rows of the log that were not finished, as restored at start: each
    // starts when continue is on and stop-all is not in force.
    void restore();
    // New records from the store (already holding their ids).
    void addRecords(const QList<M_db_file> &records, bool restored = false);

    // The footer: start, stop and cancel everything of this kind.
    void startAll();
    void stopAll();
    // Clears the kind's unfinished log rows at once, then cancels every row.
    void cancelAll();
    int countActive() const;

    bool continueAllowed() const { return m_continueAllowed; }
    bool stoppedAll() const { return m_stoppedAll; }
    void setContinueAllowed(bool on) { m_continueAllowed = on; }

    // Name clashes: the uploads waiting for an answer, in the order they
    // asked. The page shows one dialog for all of them.
    QList<VUploadTask *> clashes() const;
    VUploadTask *frontClash() const;
    // Answers the front clash (1 replace, 2 keep both, -1 cancel), or every
    // waiting one with toAll.
    void answerClash(int uptype, bool toAll);
    // The dialog was closed without an answer: every waiting row stops.
    void dismissClashes();

    // Stops every task and waits at most ms for the worker threads (exit).
    void shutdown(int ms);

signals:
    void signalCountChanged(int count);
    // Rows inserted at [first, first+n) or removed at index.
    void signalInserted(int first, int n);
    void signalRemoved(int index, VTransferTask *task);
    // A task is done (before it is removed): downloads to open, uploads to
    // hand to the resource list.
    void signalTaskDone(VTransferTask *task);
    void signalClashesChanged();

private:
    void onAdmitted(int id);
    void onDone(VTransferTask *task);
    void onExists(VUploadTask *task);
    VTransferTask *makeTask(const M_db_file &record);

    Kind m_kind;
    db_self *m_store;
    QList<VTransferTask *> m_tasks;
    QHash<int, VTransferTask *> m_byId;
    QList<VUploadTask *> m_clashes;
    bool m_continueAllowed;
    bool m_stoppedAll = false;
};
