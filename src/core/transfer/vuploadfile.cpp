#include "transfer/vuploadfile.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "request/vnetworkpolicy.h"
#include "request/vurlrequest.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vtransfertimings.h"
#include "transfer/vuploadrequest.h"
#include "utils/vnetworkerror.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcUpload, "orvel.transfer.upload")

namespace {

int codeOf(const QJsonObject &o) { return o.value(QStringLiteral("Code")).toVariant().toInt(); }
QString msgOf(const QJsonObject &o) { return o.value(QStringLiteral("Msg")).toVariant().toString(); }

// A name that cannot break out of the quoted header value.
QByteArray headerSafeName(const QString &name)
{
    QString n = name;
    n.remove(QLatin1Char('\r'));
    n.remove(QLatin1Char('\n'));
    n.replace(QLatin1Char('"'), QLatin1Char('\''));
    return n.toUtf8();
}

} // namespace

VUploadFile::VUploadFile(QObject *parent) : QObject(parent)
{
    setAutoDelete(false);
}

VUploadFile::~VUploadFile()
{
    releaseReply();
    delete m_poster;
    dropReadAhead();
}

void VUploadFile::blockLayout(qint64 fileSize, int &blocksize, int &totalblocknum)
{
    const qint64 n = (fileSize + kMaxBlocks - 1) / kMaxBlocks;
    if (n > kDefaultBlockSize) {
        blocksize = int(n);
        totalblocknum = kMaxBlocks;
    } else {
        blocksize = kDefaultBlockSize;
        totalblocknum = int((fileSize + kDefaultBlockSize - 1) / kDefaultBlockSize);
    }
}

QString VUploadFile::setUploadInfo(const QString &evtid, const QString &md5, const QString &localPath,
                                   int startBlock, const QString &token, const QString &upserver,
                                   const QJsonObject &statusRequest)
{
    m_evtid = evtid;
    m_md5 = md5;
    m_token = token;
    m_stop = false;
    dropReadAhead();
    m_buffer.clear();
    m_bufferBlock = -1;
    m_file.setFileName(localPath);
    if (!m_file.exists())
        return QStringLiteral("本地文件丢失");
    // Reading is all an upload needs: a file the user may read but not write
    // must still go up.
    if (m_file.isOpen())
        m_file.close();
    if (!m_file.open(QIODevice::ReadOnly))
        return QStringLiteral("本地文件被占用，请关闭后重试");
    m_file.seek(0);
    m_uploadUrl = upserver + QStringLiteral("/v1/wp/file/Upload");
    m_chkBlockUrl = upserver + QStringLiteral("/v1/wp/file/ChkBlock");
    m_chkMd5Url = upserver + QStringLiteral("/v1/wp/file/ChkMD5");
    m_statusRequest = statusRequest;
    m_running = true;

    m_fileSize = m_file.size();
    blockLayout(m_fileSize, m_blocksize, m_totalblocknum);
    m_block = qMax(0, startBlock);
    m_uploadInfo = QJsonObject{{QStringLiteral("evtid"), m_evtid},
                               {QStringLiteral("md5"), m_md5},
                               {QStringLiteral("totalblocknum"), QString::number(m_totalblocknum)},
                               {QStringLiteral("blocksize"), QString::number(m_blocksize)},
                               {QStringLiteral("block"), QString::number(m_block)}};
    m_resume = m_block > 0;
    m_fileInfo.setFile(m_file);
    m_fileName = m_fileInfo.fileName();
    return QString();
}

QJsonObject VUploadFile::syncRequest(bool post, const QString &url, const QString &query)
{
    VUrlRequest req;
    req.setManager(m_manager);
    req.setRequest(post ? 1 : 0, QUrl(url), m_token, query);
    return req.send();
}

void VUploadFile::sleepRetry()
{
    qCDebug(lcUpload) << "进入睡眠";
    // Sleep in short steps so a stop is not kept waiting for a full second.
    const int total = VTransferTimings::retrySleepMs.load();
    for (int slept = 0; slept < total && !m_stop; slept += 50)
        QThread::msleep(quint32(qMin(50, total - slept)));
}

void VUploadFile::restart()
{
    m_block = 0;
    m_resume = false;
    dropReadAhead();
    m_buffer.clear();
    m_bufferBlock = -1;
    m_uploadInfo[QStringLiteral("block")] = QStringLiteral("0");
    m_file.seek(0);
}

void VUploadFile::run()
{
    m_timer = new QTimer;
    m_timer->setInterval(VTransferTimings::stallMs.load());
    connect(m_timer, &QTimer::timeout, this, &VUploadFile::slotTimeOut);
    m_manager = VNetworkPolicy::createManager();

    while (m_running) {
        m_timer->stop();
        if (m_stop) {
            slotStopWork();
            break;
        }
        // 1. Where does the upload event stand?
        const bool post = m_statusRequest.value(QStringLiteral("type")).toInt() == 1;
        const QJsonObject status =
            syncRequest(post, m_statusRequest.value(QStringLiteral("url")).toString(),
                        QStringLiteral("ids=") + QString::fromLatin1(QUrl::toPercentEncoding(m_evtid)) + QLatin1Char('&'));
        if (m_stop)
            continue;
        if (codeOf(status) != 0) {
            qCDebug(lcUpload) << "上传验证队列出错" << msgOf(status);
            slotError(msgOf(status));
            continue;
        }
        const QJsonObject ev = status.value(QStringLiteral("Msg")).toArray().at(0).toObject();
        const int evStatus = ev.value(QStringLiteral("status")).toVariant().toInt();
        if (evStatus == 99) {
            const QJsonValue rv = ev.value(QStringLiteral("result"));
            const QJsonObject result = rv.isObject() ? rv.toObject() : VUtils::toJsonObject(rv.toString());
            qCDebug(lcUpload) << "队列已完成" << m_evtid << result;
            if (result.value(QStringLiteral("code")).toVariant().toInt() == 0) {
                emit signalReplyFinished(-1);
                m_running = false;
            } else {
                slotError(result.value(QStringLiteral("msg")).toVariant().toString());
            }
            continue;
        }
        if (evStatus == 0) {
            const QJsonObject chk =
                syncRequest(true, m_chkMd5Url, QStringLiteral("evtid=") + m_evtid + QStringLiteral("&filemd5=") + m_md5);
            if (m_stop)
                continue;
            if (codeOf(chk) != 0) {
                slotError(msgOf(chk));
                continue;
            }
            if (msgOf(chk) == QLatin1String("1")) {
                // The server already holds this content: nothing to send.
                emit signalReplyFinished(-1);
                m_running = false;
                continue;
            }
        }
        // 3. When resuming, is the block already there?
        if (m_block > 0 && m_resume) {
            const CheckResult r = checkBlock();
            if (r != CheckResult::Post)
                continue;
        }
        // 4. Send the block.
        postBlock();
    }

    m_timer->stop();
    delete m_timer;
    m_timer = nullptr;
    releaseReply();
    delete m_poster;
    m_poster = nullptr;
    delete m_manager;
    m_manager = nullptr;
    dropReadAhead();
    m_file.seek(0);
    m_file.close();
    m_buffer.clear();
    m_bufferBlock = -1;
    if (m_stop)
        emit signalIsStop();
}

VUploadFile::CheckResult VUploadFile::checkBlock()
{
    const QJsonObject r =
        syncRequest(true, m_chkBlockUrl,
                    QStringLiteral("evtid=") + QString::fromLatin1(QUrl::toPercentEncoding(m_evtid))
                        + QStringLiteral("&block=") + QString::number(m_block));
    if (m_stop)
        return CheckResult::NextPass;
    if (!r.contains(QStringLiteral("Code"))) {
        slotError(QStringLiteral("请求错误"));
        return CheckResult::Failed;
    }
    const int code = codeOf(r);
    if (code == 0) {
        if (msgOf(r) == QLatin1String("1")) {
            // The server holds this block already: go on with the next one.
            ++m_block;
        }
        m_uploadInfo[QStringLiteral("block")] = QString::number(m_block);
        m_resume = false;
        return CheckResult::Post;
    }
    if (code == 800003) {
        restart();
        return CheckResult::Post;
    }
    if (code == 800004) {
        sleepRetry();
        if (m_stop)
            slotStopWork();
        return CheckResult::NextPass;
    }
    slotError(msgOf(r));
    return CheckResult::Failed;
}

bool VUploadFile::loadBlock()
{
    if (m_bufferBlock == m_block && (!m_buffer.isEmpty() || m_fileSize == 0))
        return true;
    qCDebug(lcUpload) << "准备读取文件" << m_block;
    // Each block's bytes come from its own offset, so a retried block always
    // carries exactly that block (64-bit offsets).
    const qint64 offset = qint64(m_block) * qint64(m_blocksize);
    const qint64 len = qBound<qint64>(0, m_fileSize - offset, m_blocksize);
    m_buffer.clear();
    if (m_ahead.valid() && m_aheadBlock == m_block) {
        m_buffer = m_ahead.get();
        m_aheadBlock = -1;
        if (m_buffer.size() == len) {
            m_bufferBlock = m_block;
            return true;
        }
        m_buffer.clear(); // short or failed: read it here, where a failure is reported
    }
    dropReadAhead();
    if (len > 0) {
        if (!m_file.seek(offset))
            return false;
        m_buffer = m_file.read(len);
        if (m_buffer.size() != len)
            return false;
    }
    m_bufferBlock = m_block;
    qCDebug(lcUpload) << "尝试读取结束" << m_buffer.size();
    return true;
}

void VUploadFile::readAhead()
{
    const qint32 next = m_block + 1;
    if (m_ahead.valid() || next >= m_totalblocknum)
        return;
    const qint64 offset = qint64(next) * qint64(m_blocksize);
    const qint64 len = qBound<qint64>(0, m_fileSize - offset, m_blocksize);
    if (len <= 0)
        return;
    // Its own handle: QFile is not shared between threads.
    const QString path = m_file.fileName();
    m_aheadBlock = next;
    m_ahead = std::async(std::launch::async, [path, offset, len]() {
        QFile f(path);
        QByteArray bytes;
        if (f.open(QIODevice::ReadOnly) && f.seek(offset))
            bytes = f.read(len);
        return bytes;
    });
}

void VUploadFile::dropReadAhead()
{
    if (m_ahead.valid())
        m_ahead.get();
    m_aheadBlock = -1;
}

void VUploadFile::postBlock()
{
    if (!loadBlock()) {
        slotError(QStringLiteral("本地文件读取失败"));
        return;
    }
    m_currentBlockSize = m_buffer.size();

    // The form: the file part, then evtid, md5, totalblocknum, block and
    // blocksize as text parts.
    VUploadRequest::Fields fields;
    for (const char *name : {"evtid", "md5", "totalblocknum", "block", "blocksize"}) {
        const QString value = m_uploadInfo.value(QLatin1String(name)).toString();
        qCDebug(lcUpload) << "参数" << name << " - 值" << value;
        fields.append({QByteArray(name), value.toUtf8()});
    }
    if (m_stop) {
        slotStopWork();
        return;
    }
    m_timedOut = false;
    m_progressed = false;
    m_reply = m_poster ? m_poster : new VUploadRequest(VTransferThrottle::upload());
    m_poster = nullptr;
    connect(m_reply, &VUploadRequest::uploadProgress, this, &VUploadFile::onUploadProgress);
    QEventLoop loop;
    connect(m_reply, &VUploadRequest::finished, &loop, &QEventLoop::quit);
    connect(this, &VUploadFile::signalContinue, &loop, &QEventLoop::quit);
    m_timer->start(VTransferTimings::stallMs.load());
    m_reply->post(QUrl(m_uploadUrl), m_token.toUtf8(),
                  "form-data; name=\"file\";filename=\"" + headerSafeName(m_fileName) + "\";", m_buffer, fields);
    readAhead();
    if (!m_reply->isFinished())
        loop.exec();
    m_timer->stop();

    if (m_reply && !m_stop) {
        const QNetworkReply::NetworkError err = m_reply->error();
        if (err == QNetworkReply::NoError && !m_timedOut && m_reply->isFinished()) {
            onFinished();
        } else if (m_timedOut) {
            slotError(QStringLiteral("上传超时"));
        } else {
            qCDebug(lcUpload) << "发送出错" << err;
            slotError(networkErrorText(int(err)));
        }
    } else if (m_stop) {
        slotStopWork();
    }
    parkReply();
}

void VUploadFile::onFinished()
{
    if (!m_reply)
        return;
    const QJsonObject r = VUtils::toJsonObject(QString::fromUtf8(m_reply->readAll()));
    qCDebug(lcUpload) << "上传块 返回" << m_evtid << r;
    const int code = codeOf(r);
    if (code == 0) {
        qCDebug(lcUpload) << "发送成功" << m_block;
        ++m_block;
        if (m_block >= m_totalblocknum) {
            slotStopWork();
            emit signalReplyFinished(-1);
        } else {
            m_uploadInfo[QStringLiteral("block")] = QString::number(m_block);
            parkReply();
            emit signalContinue();
            emit signalReplyFinished(m_block);
        }
    } else if (code == 800003) {
        restart();
    } else if (code == 800004) {
        sleepRetry();
        if (m_stop)
            slotStopWork();
    } else if (code == 1 && msgOf(r) == QStringLiteral("未获取到队列信息")) {
        sleepRetry();
    } else {
        slotError(msgOf(r));
    }
}

void VUploadFile::onUploadProgress(qint64 sent, qint64 total)
{
    m_progressed = true;
    if (sent <= 0 || total <= 0)
        return;
    // The form around the block is total minus the block: count file bytes only.
    const qint64 around = total - m_currentBlockSize;
    const qint64 base = qint64(m_block) * qint64(m_blocksize);
    const qint64 inBlock = qBound<qint64>(0, sent - around, m_currentBlockSize);
    emit signalUploadProcess(qMin(base + inBlock, m_fileSize), m_fileSize);
}

void VUploadFile::onError(QNetworkReply::NetworkError code)
{
    slotError(networkErrorText(int(code)));
}

// A post that ended well keeps its connection for the next block; any
// other is closed.
void VUploadFile::parkReply()
{
    if (!m_reply)
        return;
    if (m_stop || !m_reply->isFinished() || m_reply->error() != QNetworkReply::NoError || m_timedOut) {
        releaseReply();
        return;
    }
    m_reply->disconnect(this);
    delete m_poster;
    m_poster = m_reply;
    m_reply = nullptr;
}

void VUploadFile::releaseReply()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    m_reply->abort();
    // Deleted now, not later: the whole upload runs inside one call of run(),
    // so deferred deletes would pile up every block (and its form) until the
    // end. No signal of the post is on the stack here.
    delete m_reply;
    m_reply = nullptr;
}

void VUploadFile::slotStopWork()
{
    m_stop = true;
    m_running = false;
    if (m_reply && (m_reply->isRunning() || m_reply->error() != QNetworkReply::NoError))
        releaseReply();
    emit signalContinue();
}

void VUploadFile::slotError(const QString &message)
{
    const bool wasStopped = m_stop;
    slotStopWork();
    qCDebug(lcUpload) << "上传出错" << message;
    if (!wasStopped)
        emit signalReplyError(message);
}

void VUploadFile::slotTimeOut()
{
    if (m_progressed) {
        m_progressed = false;
        return;
    }
    m_timedOut = true;
    slotError(QStringLiteral("网络超时"));
}
