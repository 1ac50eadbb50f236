#include "transfer/vtransfertasklist.h"

#include <QLoggingCategory>

#include "DB/db_self.h"
#include "records/m_config.h"
#include "transfer/vdownloadtask.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vuploadtask.h"

Q_LOGGING_CATEGORY(lcTaskList, "orvel.transfer.list")

VTransferTaskList::VTransferTaskList(Kind kind, db_self *store, QObject *parent)
    : QObject(parent), m_kind(kind), m_store(store), m_continueAllowed(M_config::instance()->Normal_isContinue)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (kind == Upload) {
        connect(hub, &VGlobalConnect::signalNewFileForUpload, this,
                [this](const QList<M_db_file> &list) { addRecords(list); });
        connect(hub, QOverload<int>::of(&VGlobalConnect::signalStartUpload), this, &VTransferTaskList::onAdmitted);
        connect(hub, QOverload<>::of(&VGlobalConnect::signalStartUpload), this, &VTransferTaskList::startAll);
        connect(hub, QOverload<>::of(&VGlobalConnect::signalStopUpload), this, &VTransferTaskList::stopAll);
        connect(hub, QOverload<int>::of(&VGlobalConnect::signalStopUpload), this, [this](int id) {
            if (VTransferTask *t = task(id))
                t->stopAndRequeue();
        });
        connect(hub, &VGlobalConnect::signalCancleUpload, this, &VTransferTaskList::cancelAll);
    } else {
        connect(hub, &VGlobalConnect::signalNewFileForDownload, this,
                [this](const QList<M_db_file> &list) { addRecords(list); });
        connect(hub, QOverload<int>::of(&VGlobalConnect::signalStartDownload), this,
                &VTransferTaskList::onAdmitted);
        connect(hub, QOverload<>::of(&VGlobalConnect::signalStartDownload), this, &VTransferTaskList::startAll);
        connect(hub, QOverload<>::of(&VGlobalConnect::signalStopDownload), this, &VTransferTaskList::stopAll);
        connect(hub, &VGlobalConnect::signalCancleDownload, this, &VTransferTaskList::cancelAll);
    }
}

VTransferTaskList::~VTransferTaskList()
{
    // Tasks give their slots back and tell their workers to stop; the
    // workers' threads end on their own and are reaped.
    const QList<VTransferTask *> all = m_tasks;
    m_tasks.clear();
    m_byId.clear();
    qDeleteAll(all);
}

VTransferTask *VTransferTaskList::makeTask(const M_db_file &record)
{
    VTransferTask *t = m_kind == Upload ? static_cast<VTransferTask *>(new VUploadTask(record, m_store, this))
                                        : static_cast<VTransferTask *>(new VDownloadTask(record, m_store, this));
    connect(t, &VTransferTask::signalDone, this, &VTransferTaskList::onDone);
    if (auto *up = qobject_cast<VUploadTask *>(t))
        connect(up, &VUploadTask::signalIsExists, this, &VTransferTaskList::onExists);
    return t;
}

void VTransferTaskList::restore()
{
    if (!m_store)
        return;
    const QList<M_db_file> rows = m_kind == Upload ? m_store->getUploads() : m_store->getDownloads();
    addRecords(rows, true);
}

void VTransferTaskList::addRecords(const QList<M_db_file> &records, bool restored)
{
    if (records.isEmpty())
        return;
    QList<VTransferTask *> fresh;
    QList<VTransferTask *> edits;
    fresh.reserve(records.size());
    for (M_db_file r : records) {
        if (m_byId.contains(r.id) || int(r.type) != int(m_kind))
            continue;
        r.status = 0;
        r.isrestored = restored;
        if (r.isedit && m_kind == Upload && r.uptype == M_db_file::uptype_none)
            r.uptype = M_db_file::uptype_replace; // an edited file replaces its original unless told otherwise
        VTransferTask *t = makeTask(r);
        m_byId.insert(r.id, t);
        (r.isedit ? edits : fresh).append(t);
    }
    if (!edits.isEmpty()) {
        // Edited files go to the top of the list.
        for (int i = edits.size() - 1; i >= 0; --i)
            m_tasks.prepend(edits.at(i));
        emit signalInserted(0, edits.size());
    }
    if (!fresh.isEmpty()) {
        const int first = m_tasks.size();
        m_tasks.append(fresh);
        emit signalInserted(first, fresh.size());
    }
    emit signalCountChanged(m_tasks.size());
    // Edited files always start; restored rows when continuing is allowed;
    // others unless the user stopped everything.
    for (VTransferTask *t : qAsConst(edits))
        t->start();
    const bool go = restored ? (m_continueAllowed && !m_stoppedAll) : !m_stoppedAll;
    if (go) {
        for (VTransferTask *t : qAsConst(fresh))
            t->start();
    }
}

void VTransferTaskList::onAdmitted(int id)
{
    // A row gives its slot back itself whenever it ends (also when it is
    // deleted), so an id without a row here belongs to someone else.
    if (VTransferTask *t = task(id))
        t->admit();
}

void VTransferTaskList::startAll()
{
    m_stoppedAll = false;
    m_continueAllowed = true;
    const QList<VTransferTask *> all = m_tasks;
    for (VTransferTask *t : all)
        t->start();
}

void VTransferTaskList::stopAll()
{
    m_stoppedAll = true;
    // Waiting rows first, so no slot freed by a stop admits one of them.
    const QList<VTransferTask *> all = m_tasks;
    for (VTransferTask *t : all)
        if (t->status() == VTransferTask::Waiting)
            t->stop();
    for (VTransferTask *t : all)
        if (m_byId.contains(t->id()))
            t->stop();
}

void VTransferTaskList::cancelAll()
{
    if (m_store) {
        if (m_kind == Upload)
            m_store->clearUploadRows();
        else
            m_store->clearDownloadRows();
    }
    const QList<VTransferTask *> all = m_tasks;
    for (VTransferTask *t : all)
        if (t->status() == VTransferTask::Waiting)
            t->cancel(true);
    for (VTransferTask *t : all)
        if (m_byId.contains(t->id()))
            t->cancel(true);
}

int VTransferTaskList::countActive() const
{
    int n = 0;
    for (VTransferTask *t : m_tasks)
        n += t->isActive() ? 1 : 0;
    return n;
}

void VTransferTaskList::onDone(VTransferTask *t)
{
    const int index = m_tasks.indexOf(t);
    if (index < 0)
        return;
    if (t->status() == VTransferTask::Done)
        emit signalTaskDone(t);
    m_tasks.removeAt(index);
    m_byId.remove(t->id());
    if (auto *up = qobject_cast<VUploadTask *>(t)) {
        if (m_clashes.removeAll(up) > 0)
            emit signalClashesChanged();
    }
    emit signalRemoved(index, t);
    emit signalCountChanged(m_tasks.size());
    t->deleteLater();
}

void VTransferTaskList::onExists(VUploadTask *t)
{
    if (!m_clashes.contains(t))
        m_clashes.append(t);
    emit signalClashesChanged();
}

QList<VUploadTask *> VTransferTaskList::clashes() const
{
    QList<VUploadTask *> out;
    for (VUploadTask *t : m_clashes)
        if (t->isAwaitingChoice())
            out << t;
    return out;
}

VUploadTask *VTransferTaskList::frontClash() const
{
    const QList<VUploadTask *> list = clashes();
    return list.isEmpty() ? nullptr : list.first();
}

void VTransferTaskList::answerClash(int uptype, bool toAll)
{
    const QList<VUploadTask *> waiting = clashes();
    m_clashes.clear();
    if (waiting.isEmpty()) {
        emit signalClashesChanged();
        return;
    }
    if (toAll) {
        // Rows that have not asked yet take the same answer.
        for (VTransferTask *t : qAsConst(m_tasks))
            if (auto *up = qobject_cast<VUploadTask *>(t))
                up->presetUptype(uptype);
        for (VUploadTask *t : waiting)
            t->setUptype(uptype);
    } else {
        m_clashes = waiting.mid(1);
        waiting.first()->setUptype(uptype);
    }
    emit signalClashesChanged();
}

void VTransferTaskList::dismissClashes()
{
    const QList<VUploadTask *> waiting = clashes();
    m_clashes.clear();
    // Each gives its slot back, so the next waiting row starts.
    for (VUploadTask *t : waiting)
        t->stop();
    emit signalClashesChanged();
}

void VTransferTaskList::shutdown(int ms)
{
    stopAll();
    VTransferTask::waitWorkerThreads(ms);
}
