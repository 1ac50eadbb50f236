#include "transfer/vglobalqueue.h"

#include "records/m_config.h"
#include "transfer/vglobalconnect.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcQueue, "orvel.queue")

VGlobalQueue *VGlobalQueue::instance()
{
    static VGlobalQueue *queue = [] {
        auto *q = new VGlobalQueue;
        connect(VGlobalConnect::instance(), &VGlobalConnect::signalChange_config, q,
                &VGlobalQueue::slotChange_config);
        const M_config *c = M_config::instance();
        qCDebug(lcQueue) << "设置" << c->toJson();
        return q;
    }();
    return queue;
}

VGlobalQueue::VGlobalQueue(QObject *parent) : QObject(parent) {}

int VGlobalQueue::uploadLimit()
{
    // A stored 0 (or less) would let no upload ever start; count it as the
    // default instead, as the download limit does.
    const int n = M_config::instance()->Transfer_threadcount_upload;
    return n < 1 ? kDefaultUploadLimit : n;
}

int VGlobalQueue::downloadLimit()
{
    const int n = M_config::instance()->Transfer_threadcount_download;
    return n < 1 ? kDefaultDownloadLimit : n;
}

void VGlobalQueue::addDownload(int id)
{
    if (m_downWork.contains(id) || m_downWait.contains(id))
        return;
    if (m_downWork.size() < downloadLimit()) {
        m_downWork.append(id);
        emit VGlobalConnect::instance()->signalStartDownload(id);
    } else {
        m_downWait.append(id);
    }
}

void VGlobalQueue::addUpload(int id)
{
    if (m_upWork.contains(id) || m_upWait.contains(id))
        return;
    if (m_upWork.size() < uploadLimit()) {
        m_upWork.append(id);
        emit VGlobalConnect::instance()->signalStartUpload(id);
    } else {
        m_upWait.append(id);
    }
}

bool VGlobalQueue::removeFrom(QList<int> &wait, QList<int> &work, int id)
{
    if (wait.removeAll(id) > 0)
        return false;
    return work.removeAll(id) > 0;
}

void VGlobalQueue::removeDownload(int id)
{
    if (removeFrom(m_downWait, m_downWork, id) && m_downWork.size() < downloadLimit()
        && !m_downWait.isEmpty()) {
        const int next = m_downWait.takeFirst();
        m_downWork.append(next);
        emit VGlobalConnect::instance()->signalStartDownload(next);
    }
}

void VGlobalQueue::removeUpload(int id)
{
    if (removeFrom(m_upWait, m_upWork, id) && m_upWork.size() < uploadLimit() && !m_upWait.isEmpty()) {
        const int next = m_upWait.takeFirst();
        m_upWork.append(next);
        qCDebug(lcQueue) << "开始任务" << next;
        emit VGlobalConnect::instance()->signalStartUpload(next);
    }
}

void VGlobalQueue::clearDownloads()
{
    m_downWait.clear();
    m_downWork.clear();
}

void VGlobalQueue::clearUploads()
{
    m_upWait.clear();
    m_upWork.clear();
}

void VGlobalQueue::clearWaiting()
{
    m_downWait.clear();
    m_upWait.clear();
}

bool VGlobalQueue::hasTasks() const
{
    return !m_downWait.isEmpty() || !m_downWork.isEmpty() || !m_upWait.isEmpty() || !m_upWork.isEmpty();
}

bool VGlobalQueue::hasRunningTransfers() const
{
    return !m_downWork.isEmpty() || !m_upWork.isEmpty();
}

void VGlobalQueue::addBak(const QString &owner, const QString &uuid)
{
    m_bakWait.append(owner + QLatin1Char('|') + uuid);
    checkBak();
}

void VGlobalQueue::checkBak()
{
    qCDebug(lcQueue) << "备份队列 等待" << m_bakWait.size() << "工作中" << m_bakWork.size();
    if (!m_bakWait.isEmpty() && m_bakWork.size() < kBackupLimit) {
        const QString entry = m_bakWait.takeFirst();
        m_bakWork.append(entry);
        emit VGlobalConnect::instance()->signalSynStartDownload(entry.section(QLatin1Char('|'), 1));
    }
}

void VGlobalQueue::removeBak(const QString &owner, const QString &uuid, bool notify)
{
    const QString prefix = owner + QLatin1Char('|');
    if (uuid.isEmpty()) {
        if (notify)
            emit VGlobalConnect::instance()->signalSynStopDownload(owner, 0, false);
        for (int i = m_bakWait.size() - 1; i >= 0; --i)
            if (m_bakWait.at(i).startsWith(prefix))
                m_bakWait.removeAt(i);
        qCDebug(lcQueue) << "工作中队列" << m_bakWork;
        for (int i = m_bakWork.size() - 1; i >= 0; --i)
            if (m_bakWork.at(i).startsWith(prefix))
                m_bakWork.removeAt(i);
        qCDebug(lcQueue) << "待删除工作队列" << m_bakWork;
    } else {
        const QString entry = prefix + uuid;
        const bool found = m_bakWait.removeAll(entry) > 0 || m_bakWork.removeAll(entry) > 0;
        if (found && notify)
            emit VGlobalConnect::instance()->signalSynStopDownload(uuid, 1, false);
    }
    checkBak();
}

void VGlobalQueue::clearBak()
{
    m_bakWait.clear();
    m_bakWork.clear();
}

bool VGlobalQueue::hasBakTasks() const
{
    return !m_bakWait.isEmpty() || !m_bakWork.isEmpty();
}

void VGlobalQueue::markBakDelete(const QString &entry)
{
    m_bakDeleteMarks.removeAll(entry);
    m_bakDeleteMarks.append(entry);
}

bool VGlobalQueue::isBakDeleteMarked(const QString &entry) const
{
    return m_bakDeleteMarks.contains(entry);
}

void VGlobalQueue::unmarkBakDelete(const QString &entry)
{
    m_bakDeleteMarks.removeAll(entry);
}

void VGlobalQueue::slotChange_config()
{
    const int down = downloadLimit();
    const int up = uploadLimit();
    qCDebug(lcQueue) << "变更线程数" << "下载数" << down << m_downWork.size() << "等待" << m_downWait.size()
                     << "上传数" << up << m_upWork.size() << "等待" << m_upWait.size();
    while (m_downWork.size() < down && !m_downWait.isEmpty()) {
        const int next = m_downWait.takeFirst();
        m_downWork.append(next);
        qCDebug(lcQueue) << "发送" << next;
        emit VGlobalConnect::instance()->signalStartDownload(next);
    }
    while (m_upWork.size() < up && !m_upWait.isEmpty()) {
        const int next = m_upWait.takeFirst();
        m_upWork.append(next);
        qCDebug(lcQueue) << "发送" << next;
        emit VGlobalConnect::instance()->signalStartUpload(next);
    }
}
