#include "chuanshuliebiao/vchuanshuliebiao_tasks.h"

#include "transfer/vtransfertask.h"

VChuanshuliebiao_tasks::VChuanshuliebiao_tasks(VTransferTaskList::Kind kind, db_self *store, QWidget *parent)
    : VChuanshuliebiao_pagedlist(parent), m_list(new VTransferTaskList(kind, store, this))
{
    setEmptyText(kind == VTransferTaskList::Upload ? QStringLiteral("没有正在上传的文件")
                                                   : QStringLiteral("没有正在下载的文件"));
    connect(m_list, &VTransferTaskList::signalInserted, this, [this] { scheduleSync(false); });
    connect(m_list, &VTransferTaskList::signalRemoved, this,
            [this](int, VTransferTask *task) { dropKey(quintptr(task)); });
    connect(m_list, &VTransferTaskList::signalCountChanged, this,
            [this](int count) { emit signalTotalCount(count, this); });
    scheduleSync();
}

QList<VTransferTask *> VChuanshuliebiao_tasks::selectedTasks() const
{
    QList<VTransferTask *> out;
    for (quintptr k : selectedKeys()) {
        auto *t = reinterpret_cast<VTransferTask *>(k);
        if (m_list->indexOf(t) >= 0)
            out << t;
    }
    return out;
}

void VChuanshuliebiao_tasks::slotStartTasks() { m_list->startAll(); }
void VChuanshuliebiao_tasks::slotStopTasks() { m_list->stopAll(); }
void VChuanshuliebiao_tasks::slotClearTasks() { m_list->cancelAll(); }
