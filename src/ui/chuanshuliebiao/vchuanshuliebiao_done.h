#pragma once

#include "chuanshuliebiao/vchuanshuliebiao_done_item.h"
#include "chuanshuliebiao/vchuanshuliebiao_pagedlist.h"

class db_self;

// The finished tab: the newest 1000 finished transfers of the log, oldest
// first, and every transfer that finishes while the client runs.
class VChuanshuliebiao_done : public VChuanshuliebiao_pagedlist
{
    Q_OBJECT
public:
    static constexpr int kKept = 1000;

    explicit VChuanshuliebiao_done(db_self *store, QWidget *parent = nullptr);

    int totalCount() const { return m_records.size(); }
    const QList<M_db_file> &records() const { return m_records; }
    void reload();

signals:
    void signalTotalCount(int count, QWidget *tab);

public slots:
    void slotNewFileForDone(M_db_file record);
    void slotClearDone();
    void slotOpType(enum_transfer_optype type, QWidget *row);

protected:
    int itemCount() const override { return m_records.size(); }
    quintptr keyAt(int index) const override { return quintptr(m_records.at(index).id); }
    QWidget *createRow(int index) override;

private:
    void removeIds(const QList<int> &ids);

    db_self *m_store;
    QList<M_db_file> m_records;
};
