#pragma once

#include <QPointer>

#include "chuanshuliebiao/vchuanshuliebiao_tasks.h"

#include "chuanshuliebiao/vchuanshuliebiao_exists.h"
class VUploadTask;

// The uploads tab. Asks about name clashes with one dialog for every row
// that asks, and hands finished uploads to the resource list.
class VChuanshuliebiao_up : public VChuanshuliebiao_tasks
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_up(db_self *store, QWidget *parent = nullptr);
    VChuanshuliebiao_exists *existsDialog() const { return m_exists; }

public slots:
    void slotUploadDone(VTransferTask *task);
    void slotIsExists();
    void slotUptype(int uptype, bool toAll);

protected:
    QWidget *createRow(int index) override;

private:
    QPointer<VChuanshuliebiao_exists> m_exists;
};
