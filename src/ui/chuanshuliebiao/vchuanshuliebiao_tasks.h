#pragma once

#include "chuanshuliebiao/vchuanshuliebiao_pagedlist.h"
#include "transfer/vtransfertasklist.h"

class VTransferTask;

// A tab of running transfers: a window of rows over the kind's task list.
class VChuanshuliebiao_tasks : public VChuanshuliebiao_pagedlist
{
    Q_OBJECT
public:
    VChuanshuliebiao_tasks(VTransferTaskList::Kind kind, db_self *store, QWidget *parent = nullptr);

    VTransferTaskList *list() const { return m_list; }
    int totalCount() const { return m_list->count(); }
    QList<VTransferTask *> selectedTasks() const;

signals:
    void signalTotalCount(int count, QWidget *tab);

public slots:
    void slotStartTasks();
    void slotStopTasks();
    void slotClearTasks();

protected:
    int itemCount() const override { return m_list->count(); }
    quintptr keyAt(int index) const override { return quintptr(m_list->at(index)); }

    VTransferTaskList *m_list;
};
