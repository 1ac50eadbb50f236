#include "chuanshuliebiao/vchuanshuliebiao_up.h"

#include <QFile>

#include "chuanshuliebiao/vchuanshuliebiao_exists.h"
#include "chuanshuliebiao/vchuanshuliebiao_up_item.h"
#include "context/vglobalresource.h"
#include "transfer/vuploadtask.h"

VChuanshuliebiao_up::VChuanshuliebiao_up(db_self *store, QWidget *parent)
    : VChuanshuliebiao_tasks(VTransferTaskList::Upload, store, parent)
{
    setObjectName(QStringLiteral("VChuanshuliebiao_up"));
    connect(m_list, &VTransferTaskList::signalTaskDone, this, &VChuanshuliebiao_up::slotUploadDone);
    connect(m_list, &VTransferTaskList::signalClashesChanged, this, &VChuanshuliebiao_up::slotIsExists);
}

QWidget *VChuanshuliebiao_up::createRow(int index)
{
    return new VChuanshuliebiao_up_item(static_cast<VUploadTask *>(m_list->at(index)));
}

void VChuanshuliebiao_up::slotUploadDone(VTransferTask *task)
{
    const M_db_file &r = task->record();
    VGlobalResource::instance()->addChangeFileList(r);
    // An edited copy was uploaded back: the copy has done its job.
    if (r.isedit)
        QFile::remove(r.localpath);
}

void VChuanshuliebiao_up::slotIsExists()
{
    VUploadTask *front = m_list->frontClash();
    if (!front) {
        if (m_exists)
            m_exists->closeQuietly();
        return;
    }
    if (!m_exists) {
        m_exists = new VChuanshuliebiao_exists(window());
        m_exists->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_exists, &VChuanshuliebiao_exists::signalChoice, this, &VChuanshuliebiao_up::slotUptype);
        connect(m_exists, &VChuanshuliebiao_exists::signalDismissed, m_list, &VTransferTaskList::dismissClashes);
        // Not modal in a nested loop: the rows keep running while it is open.
        m_exists->setWindowModality(Qt::WindowModal);
        m_exists->show();
    }
    m_exists->setFile(front->record().filename, front->clashMessage(), m_list->clashes().size());
}

void VChuanshuliebiao_up::slotUptype(int uptype, bool toAll) { m_list->answerClash(uptype, toAll); }
