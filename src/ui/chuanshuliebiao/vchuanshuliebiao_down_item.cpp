#include "chuanshuliebiao/vchuanshuliebiao_down_item.h"

#include "transfer/vdownloadtask.h"

VChuanshuliebiao_down_item::VChuanshuliebiao_down_item(VDownloadTask *task, QWidget *parent)
    : VChuanshuliebiao_item(task, parent)
{
}
