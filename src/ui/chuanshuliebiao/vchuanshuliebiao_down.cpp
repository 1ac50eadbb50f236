#include "chuanshuliebiao/vchuanshuliebiao_down.h"

#include "chuanshuliebiao/vchuanshuliebiao_down_item.h"
#include "context/vglobalresource.h"
#include "transfer/vdownloadtask.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

VChuanshuliebiao_down::VChuanshuliebiao_down(db_self *store, QWidget *parent)
    : VChuanshuliebiao_tasks(VTransferTaskList::Download, store, parent)
{
    setObjectName(QStringLiteral("VChuanshuliebiao_down"));
    connect(m_list, &VTransferTaskList::signalTaskDone, this, &VChuanshuliebiao_down::slotDownloadDone);
}

QWidget *VChuanshuliebiao_down::createRow(int index)
{
    return new VChuanshuliebiao_down_item(static_cast<VDownloadTask *>(m_list->at(index)));
}

void VChuanshuliebiao_down::slotDownloadDone(VTransferTask *task)
{
    auto *d = static_cast<VDownloadTask *>(task);
    if (!VGlobalResource::instance()->takeOpenAfterDownload(d->requestedPath(), d->localPath()))
        return;
    // "请稍后" was shown while it downloaded: it ends either way.
    VGlobalConnect *hub = VGlobalConnect::instance();
    emit hub->signalLayer_hide();
    if (!VUtils::openFile(d->localPath()))
        emit hub->signalLayer_err(QStringLiteral("没有可以打开此文件的程序"), false);
}
