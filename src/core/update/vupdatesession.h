#pragma once

#include "updater/vupdatedescription.h"
#include "updater/vupdatemanifest.h"

#include <QFutureWatcher>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

class QThread;
class VDownloadFile;

// One update in place: the checked description, the downloads one by one
// into the update folder by one download worker on a thread of its own, the
// MD5 check of each file, the renames, and the hand-over to the updater.
// The update dialog shows what this object does.
class VUpdateSession : public QObject
{
    Q_OBJECT
public:
    enum State { Ready, Running, Finished };

    explicit VUpdateSession(QObject *parent = nullptr);
    // Stops the worker and joins its thread.
    ~VUpdateSession() override;

    // The running program by default; tests name a stand-in.
    void setProgramPath(const QString &path);
    void setProcessId(qint64 pid) { m_pid = pid; }
    void setRestartArguments(const QStringList &args) { m_arguments = args; }
    QString programPath() const { return m_programPath; }
    QString programDir() const;
    QString updateDir() const;
    QString updaterPath() const;

    // Takes the description; false (with refusal() set) when it cannot be
    // used for an update in place.
    bool setDescription(const QJsonObject &o);
    const VUpdateDescription &description() const { return m_description; }
    QString refusal() const { return m_refusal; }

    State state() const { return m_state; }
    int percent() const { return m_percent; }
    int taskCount() const { return m_description.files.size(); }
    int startedTasks() const { return m_index; }
    QList<VUpdateManifest::File> verifiedFiles() const { return m_verified; }

    // Empties the update folder (keeping the updater and its log) and starts
    // the first download. False with the reason when it cannot start.
    bool start(QString *why = nullptr);
    // Writes "addr.txt" and the install list and starts the updater. An empty
    // answer means the updater runs and the client is to end now.
    QString handOver();
    // Stops a running update (the dialog closes); the worker lets go of its
    // file and the state returns to Ready.
    void cancel();

signals:
    // To the worker (its thread).
    void signalRun();
    void signalStopWork();
    // To the dialog.
    void signalStateChanged(int state);
    void signalDownloadProcess(qint64 percent, qint64 hundred);
    void signalFileVerified(QString name);
    void signalReplyError(QString message);

public slots:
    void slotReplyFinished(const QString &path);
    void slotReplyError(const QString &message);
    void onDownloadProcess(qint64 received, qint64 total);

private:
    struct Hashes
    {
        QString path, md5, sha256;
        bool ok = false;
    };
    void startNext();
    void onHashed();
    void fail(const QString &message);
    void setState(State s);
    void setPercent(int p);
    void ensureWorker();
    void stopWorker();
    void emptyUpdateFolder();
    bool updaterLockHeld() const;

    VUpdateDescription m_description;
    QString m_refusal;
    QString m_programPath;
    qint64 m_pid;
    QStringList m_arguments;
    State m_state = Ready;
    int m_percent = 0;
    int m_index = 0; // downloads started
    bool m_workerBusy = false;
    bool m_pendingStart = false;
    QList<VUpdateManifest::File> m_verified;
    QThread *m_thread = nullptr;
    VDownloadFile *m_worker = nullptr;
    QFutureWatcher<Hashes> m_hashing;
};
