#pragma once

#include "chuanshuliebiao/vchuanshuliebiao_item.h"

class VDownloadTask;

// The row of one download.
class VChuanshuliebiao_down_item : public VChuanshuliebiao_item
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_down_item(VDownloadTask *task, QWidget *parent = nullptr);
};
