#include "chuanshuliebiao/vchuanshuliebiao_up_item.h"

#include "transfer/vuploadtask.h"

VChuanshuliebiao_up_item::VChuanshuliebiao_up_item(VUploadTask *task, QWidget *parent)
    : VChuanshuliebiao_item(task, parent)
{
}
