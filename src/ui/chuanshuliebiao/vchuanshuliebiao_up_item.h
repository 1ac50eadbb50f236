#pragma once

#include "chuanshuliebiao/vchuanshuliebiao_item.h"

class VUploadTask;

// The row of one upload.
class VChuanshuliebiao_up_item : public VChuanshuliebiao_item
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_up_item(VUploadTask *task, QWidget *parent = nullptr);
};
