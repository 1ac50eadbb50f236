#pragma once

#include "chuanshuliebiao/vchuanshuliebiao_tasks.h"

// The downloads tab. A finished download that was waiting to be opened
// opens with its program.
class VChuanshuliebiao_down : public VChuanshuliebiao_tasks
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_down(db_self *store, QWidget *parent = nullptr);

public slots:
    void slotDownloadDone(VTransferTask *task);

protected:
    QWidget *createRow(int index) override;
};
