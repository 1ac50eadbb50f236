#include "transfer/vuploadtask.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QLoggingCategory>

#include "Api/api.h"
#include "DB/db_self.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vuploadfile.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcUpTask, "orvel.transfer.uptask")

namespace {

QJsonValue payload(const QJsonObject &reply)
{
    const QJsonValue data = Api::getData(reply);
    return data.isUndefined() || data.isNull() ? reply.value(QStringLiteral("Msg")) : data;
}

} // namespace

VUploadTask::VUploadTask(const M_db_file &record, db_self *store, QObject *parent)
    : VTransferTask(record, store, parent)
{
    m_file.type = 2;
}

VUploadTask::~VUploadTask()
{
    if (m_digestCancel)
        *m_digestCancel = true;
    stopWorker();
    leaveQueue();
}

QString VUploadTask::stateText() const { return stateText(status(), m_file.error, m_digestPercent); }

QString VUploadTask::stateText(int status, const QString &error, int digestPercent)
{
    if (status == Preparing && digestPercent >= 0)
        return QStringLiteral("本地文件读取中...%1%").arg(digestPercent);
    return VTransferTask::stateText(true, status, error);
}

void VUploadTask::cancelPreparation()
{
    if (m_digestCancel)
        *m_digestCancel = true;
    m_digestPercent = -1;
    m_awaitingChoice = false;
}

void VUploadTask::stopWorker()
{
    if (auto *w = qobject_cast<VUploadFile *>(m_worker)) {
        w->requestStop();
        QMetaObject::invokeMethod(w, "slotStopWork", Qt::QueuedConnection);
    }
}

void VUploadTask::begin()
{
    const int gen = generation();
    m_digest.clear();
    m_digestPercent = 0;
    m_digestCancel = std::make_shared<std::atomic<bool>>(false);
    VDigestJob *job = VDigestJob::create(m_file.localpath, gen, m_digestCancel);
    connect(job, &VDigestJob::signalProgress, this, [this](int g, int percent) {
        if (!current(g, Preparing))
            return;
        m_digestPercent = percent;
        emit signalDigestProgress(percent);
    });
    connect(job, &VDigestJob::signalFinished, this, &VUploadTask::onDigest);
    emit signalDigestProgress(0);
    job->run();
}

void VUploadTask::onDigest(int gen, const QString &digest, const QString &error, bool cancelled)
{
    if (!current(gen, Preparing) || cancelled)
        return;
    m_digestPercent = -1;
    if (!error.isEmpty()) {
        fail(error);
        return;
    }
    m_digest = digest;
    emit signalDigestProgress(-1);
    if (!m_file.evtid.isEmpty()) {
        if (m_file.md5 == digest) {
            // The registration is still valid: where does its event stand?
            ask(Api::act_GetActStatus, Api::params_act_GetActStatus({m_file.evtid}),
                [this, gen](const QJsonObject &r) { onStatusReply(gen, r); });
            return;
        }
        // The file changed since it was registered: that event can never
        // complete with this content. Let it go and register afresh.
        qCDebug(lcUpTask) << "digest changed, registering again" << m_file.id;
        registerCancel(m_file.evtid, m_file.upserver);
        clearEvent();
    }
    startByBlock(0);
}

void VUploadTask::onStatusReply(int gen, const QJsonObject &reply)
{
    if (!current(gen, Preparing))
        return;
    const int code = Api::instance()->checkCode(reply, false);
    if (code != 0) {
        // A transport failure or a refusal: the event stays for the next try.
        fail(Api::getMsg(reply));
        return;
    }
    const QJsonArray list = Api::toArray(payload(reply));
    if (list.isEmpty()) {
        clearEvent();
        fail(QStringLiteral("任务丢失"));
        return;
    }
    const QJsonObject ev = list.at(0).toObject();
    const int evStatus = ev.value(QStringLiteral("status")).toVariant().toInt();
    const QJsonValue rv = ev.value(QStringLiteral("result"));
    const QJsonObject result = rv.isObject() ? rv.toObject() : VUtils::toJsonObject(rv.toString());
    const int resultCode = result.value(QStringLiteral("code")).toVariant().toInt();
    const QString resultMsg = result.value(QStringLiteral("msg")).toVariant().toString();
    if (evStatus == 99) {
        if (resultCode == 0) {
            finish(false);
        } else {
            // That event is over for good; the next start registers afresh.
            clearEvent();
            fail(resultMsg);
        }
        return;
    }
    if (evStatus == 0 || evStatus == 1) {
        startByBlock(m_fromFailed ? 0 : m_file.block);
        return;
    }
    fail(resultCode == 1 && !resultMsg.isEmpty() ? resultMsg : QStringLiteral("状态异常"));
}

void VUploadTask::startByBlock(int block)
{
    const QFileInfo info(m_file.localpath);
    if (!info.isFile()) {
        fail(QStringLiteral("文件不存在"));
        return;
    }
    if (block == 0) {
        m_file.md5 = m_digest;
        m_file.filesize = info.size();
        m_file.block = 0;
        saveRecord();
    } else {
        m_file.block = block;
    }
    if (m_file.evtid.isEmpty())
        requestLink();
    else
        startWorker();
}

void VUploadTask::requestLink()
{
    const int gen = generation();
    m_awaitingChoice = false;
    ask(Api::act_GetUploadLink,
        Api::params_act_GetUploadLink(m_file.serverpath, m_file.filename, m_file.filesize, int(m_file.uptype)),
        [this, gen](const QJsonObject &r) { onLinkReply(gen, r); });
}

void VUploadTask::onLinkReply(int gen, const QJsonObject &reply)
{
    const QJsonObject data = Api::getData(reply).toObject();
    if (!current(gen, Preparing)) {
        // A registration that nobody waits for any more (stopped, cancelled
        // or restarted meanwhile): its event would stay open on the server.
        const QString evtid = data.value(QStringLiteral("evtid")).toVariant().toString();
        if (Api::getCode(reply) == 0 && !evtid.isEmpty() && evtid != m_file.evtid)
            registerCancel(evtid, Api::getUpserver(data));
        return;
    }
    const int code = Api::instance()->checkCode(reply, false);
    if (code == 0) {
        m_file.upserver = Api::getUpserver(data);
        m_file.evtid = data.value(QStringLiteral("evtid")).toVariant().toString();
        const QString name = data.value(QStringLiteral("filename")).toVariant().toString();
        if (!name.isEmpty())
            m_file.filename = name;
        saveRecord();
        ask(Api::file_ChkMD5, Api::params_file_ChkMD5(m_file.evtid, m_file.md5),
            [this, gen](const QJsonObject &r) { onChkMd5Reply(gen, r); }, m_file.upserver);
        return;
    }
    if (code == 800001) {
        m_clashMessage = Api::getMsg(reply);
        if (m_file.iscancel) {
            cancel(false);
            return;
        }
        m_awaitingChoice = true;
        emit signalIsExists(this);
        return;
    }
    fail(Api::getMsg(reply));
}

void VUploadTask::setUptype(int uptype)
{
    if (!m_awaitingChoice || status() != Preparing || m_removed)
        return;
    m_awaitingChoice = false;
    if (uptype == -1) {
        m_file.iscancel = true;
        setError(QStringLiteral("取消上传"));
        cancel(false);
        return;
    }
    m_file.uptype = M_db_file::enum_uptype(uptype);
    requestLink();
}

void VUploadTask::presetUptype(int uptype)
{
    if (m_removed || status() == Done || !m_file.evtid.isEmpty() || m_awaitingChoice)
        return;
    if (uptype == -1)
        m_file.iscancel = true;
    else
        m_file.uptype = M_db_file::enum_uptype(uptype);
}

void VUploadTask::onChkMd5Reply(int gen, const QJsonObject &reply)
{
    if (!current(gen, Preparing))
        return;
    const int code = Api::instance()->checkCode(reply, false);
    if (code != 0) {
        qCDebug(lcUpTask) << "验证快传出错" << Api::getMsg(reply);
        fail(Api::getMsg(reply));
        return;
    }
    if (Api::isTrue(Api::getData(reply)) || Api::isTrue(reply.value(QStringLiteral("Msg"))))
        finish(true);
    else
        startWorker();
}

void VUploadTask::startWorker()
{
    qCDebug(lcUpTask) << "进入普通上传" << m_file.id << "block" << m_file.block;
    auto *w = new VUploadFile;
    Api *api = Api::instance();
    const QJsonObject statusRequest{{QStringLiteral("url"), api->url(Api::act_GetActStatus)},
                                    {QStringLiteral("type"), Api::isPost(Api::act_GetActStatus) ? 1 : 0}};
    const QString err = w->setUploadInfo(m_file.evtid, m_file.md5, m_file.localpath, m_file.block, api->token(),
                                         m_file.upserver, statusRequest);
    if (!err.isEmpty()) {
        delete w;
        fail(err);
        return;
    }
    const qint64 size = QFileInfo(m_file.localpath).size();
    reportProgress(qMin(size, qint64(m_file.block) * w->blocksize()), size);
    setStatus(Uploading);
    const int gen = generation();
    followWorker(w, &VUploadFile::signalUploadProcess, &VUploadFile::signalReplyError);
    connect(w, &VUploadFile::signalReplyFinished, this, [this, gen](int block) { onWorkerBlock(gen, block); });
    runWorker(w, [w] { w->run(); });
}

void VUploadTask::onWorkerBlock(int gen, int block)
{
    if (m_removed || gen != generation())
        return;
    if (status() != Uploading && status() != Stopping)
        return;
    if (block < 0) {
        finish(false);
        return;
    }
    // The resume point: a later run starts here.
    m_file.block = block;
    saveRecord();
}

void VUploadTask::finish(bool instant)
{
    if (m_removed || status() == Done)
        return;
    m_file.ismc = instant ? 1 : 0;
    reportProgress(m_file.filesize, m_file.filesize);
    if (store())
        store()->setDoneMc(m_file.id, m_file.ismc);
    markDone();
}

void VUploadTask::beforeRemoval()
{
    if (!m_file.evtid.isEmpty()) {
        qCDebug(lcUpTask) << "取消上传" << m_file.evtid;
        registerCancel(m_file.evtid, m_file.upserver);
    }
}

void VUploadTask::registerCancel(const QString &evtid, const QString &upserver)
{
    if (evtid.isEmpty() || upserver.isEmpty())
        return;
    // Kept in the pending list until the upload server confirms it, so an
    // unreachable server gets it at a later start.
    Api::instance()->addCancel(
        QJsonArray{QJsonObject{{QStringLiteral("evtid"), evtid}, {QStringLiteral("upserver"), upserver}}});
    VGlobalConnect::instance()->cancelUpload(evtid, upserver);
}

void VUploadTask::clearEvent()
{
    m_file.evtid.clear();
    m_file.upserver.clear();
    m_file.block = 0;
    saveRecord();
}
