#include "chuanshuliebiao/vchuanshuliebiao_done.h"

#include "DB/db_self.h"
#include "transfer/vglobalconnect.h"

VChuanshuliebiao_done::VChuanshuliebiao_done(db_self *store, QWidget *parent)
    : VChuanshuliebiao_pagedlist(parent), m_store(store)
{
    setObjectName(QStringLiteral("VChuanshuliebiao_done"));
    setEmptyText(QStringLiteral("没有传输完成的文件"));
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForDone, this,
            &VChuanshuliebiao_done::slotNewFileForDone);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalClearDone, this, &VChuanshuliebiao_done::slotClearDone);
    reload();
}

void VChuanshuliebiao_done::reload()
{
    m_records = m_store ? m_store->getDone() : QList<M_db_file>();
    scheduleSync();
    emit signalTotalCount(m_records.size(), this);
}

QWidget *VChuanshuliebiao_done::createRow(int index)
{
    auto *row = new VChuanshuliebiao_done_item(m_records.at(index));
    connect(row, &VChuanshuliebiao_done_item::signalOpType, this, &VChuanshuliebiao_done::slotOpType);
    return row;
}

void VChuanshuliebiao_done::slotNewFileForDone(M_db_file record)
{
    if (record.id <= 0 || record.status != 99)
        return;
    for (const M_db_file &r : qAsConst(m_records))
        if (r.id == record.id)
            return;
    m_records.append(record);
    while (m_records.size() > kKept)
        dropKey(quintptr(m_records.takeFirst().id));
    scheduleSync();
    emit signalTotalCount(m_records.size(), this);
}

void VChuanshuliebiao_done::slotClearDone()
{
    if (m_store)
        m_store->clearDoneRows();
    const QList<M_db_file> all = m_records;
    m_records.clear();
    for (const M_db_file &r : all)
        dropKey(quintptr(r.id));
    emit signalTotalCount(0, this);
}

void VChuanshuliebiao_done::slotOpType(enum_transfer_optype type, QWidget *row)
{
    QList<int> ids;
    if (type == transfer_op_remove) {
        if (auto *item = qobject_cast<VChuanshuliebiao_done_item *>(row))
            ids << item->record().id;
    } else {
        for (quintptr k : selectedKeys())
            ids << int(k);
    }
    removeIds(ids);
}

void VChuanshuliebiao_done::removeIds(const QList<int> &ids)
{
    if (ids.isEmpty())
        return;
    if (m_store)
        m_store->deleteFiles(ids);
    for (int i = m_records.size() - 1; i >= 0; --i)
        if (ids.contains(m_records.at(i).id))
            m_records.removeAt(i);
    for (int id : ids)
        dropKey(quintptr(id));
    emit signalTotalCount(m_records.size(), this);
}
