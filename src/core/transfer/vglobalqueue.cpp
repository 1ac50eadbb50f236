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

void VIdQueue::append(int id)
{
    if (m_pos.contains(id))
        return;
    m_pos.insert(id, m_ids.insert(m_ids.end(), id));
}

bool VIdQueue::remove(int id)
{
    const auto it = m_pos.find(id);
    if (it == m_pos.end())
        return false;
    m_ids.erase(it.value());
    m_pos.erase(it);
    return true;
}

int VIdQueue::takeFirst()
{
    const int id = m_ids.front();
    m_ids.pop_front();
    m_pos.remove(id);
    return id;
}

void VIdQueue::clear()
{
    m_ids.clear();
    m_pos.clear();
}

int VGlobalQueue::limitOf(const Lane &lane) { return lane.upload ? uploadLimit() : downloadLimit(); }

void VGlobalQueue::announce(const Lane &lane, int id)
{
    if (lane.upload)
        emit VGlobalConnect::instance()->signalStartUpload(id);
    else
        emit VGlobalConnect::instance()->signalStartDownload(id);
}

void VGlobalQueue::add(Lane &lane, int id)
{
    if (lane.work.contains(id) || lane.wait.contains(id))
        return;
    if (lane.work.size() < limitOf(lane)) {
        lane.work.append(id);
        announce(lane, id);
    } else {
        lane.wait.append(id);
    }
}

void VGlobalQueue::remove(Lane &lane, int id)
{
    // A waiting id frees no slot.
    if (lane.wait.remove(id) || !lane.work.remove(id))
        return;
    if (lane.work.size() < limitOf(lane) && !lane.wait.isEmpty()) {
        const int next = lane.wait.takeFirst();
        lane.work.append(next);
        qCDebug(lcQueue) << "开始任务" << next;
        announce(lane, next);
    }
}

void VGlobalQueue::fill(Lane &lane)
{
    const int limit = limitOf(lane);
    while (lane.work.size() < limit && !lane.wait.isEmpty()) {
        const int next = lane.wait.takeFirst();
        lane.work.append(next);
        qCDebug(lcQueue) << "发送" << next;
        announce(lane, next);
    }
}

void VGlobalQueue::addDownload(int id) { add(m_down, id); }
void VGlobalQueue::addUpload(int id) { add(m_up, id); }
void VGlobalQueue::removeDownload(int id) { remove(m_down, id); }
void VGlobalQueue::removeUpload(int id) { remove(m_up, id); }

void VGlobalQueue::clearDownloads()
{
    m_down.wait.clear();
    m_down.work.clear();
}

void VGlobalQueue::clearUploads()
{
    m_up.wait.clear();
    m_up.work.clear();
}

void VGlobalQueue::clearWaiting()
{
    m_down.wait.clear();
    m_up.wait.clear();
}

bool VGlobalQueue::hasTasks() const
{
    return !m_down.wait.isEmpty() || !m_down.work.isEmpty() || !m_up.wait.isEmpty() || !m_up.work.isEmpty();
}

bool VGlobalQueue::hasRunningTransfers() const { return !m_down.work.isEmpty() || !m_up.work.isEmpty(); }

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
    qCDebug(lcQueue) << "变更线程数" << "下载数" << downloadLimit() << m_down.work.size() << "等待"
                     << m_down.wait.size() << "上传数" << uploadLimit() << m_up.work.size() << "等待"
                     << m_up.wait.size();
    fill(m_down);
    fill(m_up);
}
