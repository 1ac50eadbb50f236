#include "transfer/vdownloadtask.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include "Api/api.h"
#include "DB/db_self.h"
#include "request/vurlrequest.h"
#include "transfer/vdownloadfile.h"
#include "transfer/vglobalqueue.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcDownTask, "orvel.transfer.downtask")

VDownloadTask::VDownloadTask(const M_db_file &record, db_self *store, QObject *parent)
    : VTransferTask(record, store, parent), m_requested(record.localpath)
{
    m_file.type = 1;
}

VDownloadTask::~VDownloadTask()
{
    stopWorker();
    leaveQueue();
}

QString VDownloadTask::tempPath() const
{
    return m_requested + QStringLiteral(".orvelnetdisk.%1.download").arg(m_file.fileid);
}

QString VDownloadTask::stateText() const { return stateText(status(), m_file.error); }

QString VDownloadTask::stateText(int status, const QString &error)
{
    return VTransferTask::stateText(false, status, error);
}

void VDownloadTask::stopWorker()
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, "stopWorkByThread", Qt::QueuedConnection);
}

void VDownloadTask::prepareCancel()
{
    if (auto *w = qobject_cast<VDownloadFile *>(m_worker))
        w->setDeletePartial(true);
}

void VDownloadTask::beforeRemoval()
{
    // The worker has ended (or never ran): the partial file goes with the row.
    QFile::remove(tempPath());
    if (!m_workerTemp.isEmpty())
        QFile::remove(m_workerTemp);
}

void VDownloadTask::workerFinished(QObject *worker)
{
    if (auto *w = qobject_cast<VDownloadFile *>(worker))
        m_workerTemp = w->tempPath();
}

void VDownloadTask::begin()
{
    const int gen = generation();
    ask(Api::act_GetDownLoadLink, QJsonObject(), [this, gen](const QJsonObject &r) { onLinkReply(gen, r); });
}

void VDownloadTask::onLinkReply(int gen, const QJsonObject &reply)
{
    // A link for a run that was stopped or cancelled meanwhile starts nothing.
    if (!current(gen, Preparing))
        return;
    const int code = Api::instance()->checkCode(reply, false);
    if (code != 0) {
        fail(Api::getMsg(reply));
        return;
    }
    const QJsonValue msg = reply.value(QStringLiteral("Msg"));
    const QString base = Api::getUpserver(msg.isObject() ? msg.toObject() : Api::getData(reply).toObject());
    if (base.isEmpty()) {
        fail(QStringLiteral("请求失败或文件不存在"));
        return;
    }
    const QString url = VUtils::downloadUrl(base, m_file.fileid, Api::instance()->token());
    qCDebug(lcDownTask) << "download" << m_file.id << VUrlRequest::redactUrl(QUrl(url));
    auto *w = new VDownloadFile;
    w->setUrl(url);
    w->setLocalPath(m_requested);
    w->setSuffixId(m_file.fileid);
    w->setAutoRename(true);
    setStatus(Downloading);
    reportProgress(QFileInfo(tempPath()).size(), m_file.filesize);
    followWorker(w, &VDownloadFile::signalDownloadProcess, &VDownloadFile::signalReplyError);
    connect(w, &VDownloadFile::signalReplyFinished, this, [this, gen, w](const QString &path) {
        finish(gen, path.isEmpty() ? w->finalPath() : path);
    });
    runWorker(w, [w] { w->run(); });
}

void VDownloadTask::finish(int gen, const QString &path)
{
    if (m_removed || gen != generation() || status() == Done)
        return;
    if (status() != Downloading && status() != Stopping)
        return;
    // Where the worker really put it (a free name such as "a(1).pdf").
    const QString finalPath = path.isEmpty() ? m_file.localpath : path;
    m_file.localpath = finalPath;
    m_file.filename = QFileInfo(finalPath).fileName();
    m_file.filesize = QFileInfo(finalPath).size();
    reportProgress(m_file.filesize, m_file.filesize);
    if (store())
        store()->setDone(m_file.id, m_file.filename, m_file.localpath);
    markDone();
}
