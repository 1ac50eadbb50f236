#include "transfer/vdownloadfile.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>

#include <memory>

#include "request/vnetworkpolicy.h"
#include "transfer/vhttpparse.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vtransfertimings.h"
#include "utils/vnetworkerror.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcDownload, "orvel.transfer.download")

namespace {

constexpr qint64 kChunk = 256 * 1024;
// Qt keeps at most this much unread data per reply, so a slow disk or a
// speed limit pushes back on the connection instead of filling memory. More
// than a segment: a small limit makes Qt's network thread wait for each read
// here (a quarter of the speed on a busy machine); a server that ignores the
// range still cannot fill memory with the whole file.
constexpr qint64 kReadBuffer = 16 * 1024 * 1024;
constexpr qint64 kReadBufferLimited = 64 * 1024;
constexpr qint64 kProgressMs = 50;

} // namespace

VDownloadFile::VDownloadFile(QObject *parent)
    : QObject(parent), m_throttle(VTransferThrottle::download())
{
    setAutoDelete(false);
    m_stallTimer = new QTimer(this);
    connect(m_stallTimer, &QTimer::timeout, this, &VDownloadFile::slotTimeout);
    m_paceTimer = new QTimer(this);
    m_paceTimer->setSingleShot(true);
    connect(m_paceTimer, &QTimer::timeout, this, &VDownloadFile::pump);
}

VDownloadFile::~VDownloadFile()
{
    releaseReply();
    closeTemp();
}

void VDownloadFile::setUrl(const QString &url) { m_url = url; }
void VDownloadFile::setLocalPath(const QString &path) { m_localPath = path; }
void VDownloadFile::setSuffixId(const QString &id)
{
    m_suffix = QStringLiteral(".orvelnetdisk.%1.download").arg(id);
}
void VDownloadFile::setAutoRename(bool on) { m_autoRename = on; }
void VDownloadFile::setDeletePartial(bool on) { m_deletePartial = on; }

QString VDownloadFile::fileNameFromDisposition(const QByteArray &value)
{
    return ::fileNameFromDisposition(value);
}

void VDownloadFile::prepareRequest(QNetworkRequest &req, QNetworkAccessManager *nam) const
{
    // TLS follows the client's one policy (verified unless configured otherwise).
    VNetworkPolicy::apply(req, nam);
    req.setAttribute(QNetworkRequest::HttpPipeliningAllowedAttribute, true);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
}

void VDownloadFile::run()
{
    m_finished = false;
    m_doneBytes = 0;
    m_segmentCount = 0;
    m_totalSize = 0;
    m_segmentNumber = 0;
    m_probed = false;
    m_stop = false;
    m_running = true;
    download(m_url, m_localPath);
    m_finished = true;
}

bool VDownloadFile::probe(const QString &url)
{
    m_probeTimedOut = false;
    QNetworkRequest req{QUrl(url)};
    prepareRequest(req, m_nam);
    req.setRawHeader("Range", QStringLiteral("bytes=%1-%2").arg(0).arg(1).toLatin1());
    QNetworkReply *reply = m_nam->get(req);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &VDownloadFile::slotTimeout2);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Headers are all the probe needs; a server that ignores Range would
    // otherwise stream the whole file into memory here.
    connect(reply, &QNetworkReply::metaDataChanged, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::errorOccurred, &loop, &QEventLoop::quit);
    connect(this, &VDownloadFile::signalContinue, &loop, &QEventLoop::quit);
    timer.start(VTransferTimings::probeMs.load());
    if (!reply->isFinished())
        loop.exec();
    timer.stop();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError err = reply->error();
    bool ok = false;
    qint64 total = 0;
    if (m_stop || m_probeTimedOut) {
        qCDebug(lcDownload) << "probe ended" << (m_probeTimedOut ? "by time-out" : "by stop");
    } else if (status == 206) {
        const ContentRange cr = parseContentRange(reply->rawHeader("Content-Range"));
        ok = cr.ok && !cr.unsatisfied && cr.first == 0 && cr.total > 0;
        total = cr.total;
    } else if (status == 200) {
        // No range support: the length of the whole body is the size.
        bool lenOk = false;
        total = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&lenOk);
        ok = lenOk && total >= 0;
    } else if (status == 416) {
        // "bytes */0": the file exists and is empty.
        const ContentRange cr = parseContentRange(reply->rawHeader("Content-Range"));
        ok = cr.ok && cr.unsatisfied && cr.total == 0;
        total = 0;
    } else {
        qCDebug(lcDownload) << "probe failed" << status << err << reply->errorString();
    }

    if (ok && !m_keepName && reply->hasRawHeader("Content-Disposition")) {
        const QString name = fileNameFromDisposition(reply->rawHeader("Content-Disposition"));
        if (!name.isEmpty()) {
            const int slash = m_localPath.lastIndexOf(QLatin1Char('/'));
            m_localPath = (slash >= 0 ? m_localPath.left(slash) : QStringLiteral(".")) + QLatin1Char('/') + name;
        } else {
            qCWarning(lcDownload) << "unsafe or empty file name ignored" << reply->rawHeader("Content-Disposition");
        }
    }
    reply->disconnect(this);
    reply->disconnect(&loop);
    if (!reply->isFinished())
        reply->abort();
    delete reply;

    if (!ok)
        return false;
    m_totalSize = total;
    m_segmentCount = (total + m_segmentSize - 1) / m_segmentSize;
    m_probed = true;
    return true;
}

void VDownloadFile::download(const QString &url, const QString &localPath)
{
    Q_UNUSED(localPath)
    // One manager for the whole run: the probe and every segment go over the
    // same kept-alive connection and the same network thread, instead of a
    // new connection and thread per 10 MiB.
    std::unique_ptr<QNetworkAccessManager> nam(VNetworkPolicy::createManager());
    m_nam = nam.get();
    while (m_running) {
        m_stallTimer->stop();
        if (!m_probed) {
            if (!probe(url)) {
                m_running = false;
                if (!m_stop) {
                    qCDebug(lcDownload) << "probe failed, segment count" << m_segmentCount;
                    emit signalReplyError(m_probeTimedOut ? QStringLiteral("网络请求超时")
                                                          : QStringLiteral("请求失败或文件不存在"));
                }
                break;
            }
        }
        if (m_stop)
            break;

        const int slash = m_localPath.lastIndexOf(QLatin1Char('/'));
        if (slash > 0)
            QDir().mkpath(m_localPath.left(slash));
        m_tmpPath = m_localPath + m_suffix;
        QFileInfo tmpInfo(m_tmpPath);
        m_doneBytes = tmpInfo.exists() ? tmpInfo.size() : 0;
        if (m_doneBytes > m_totalSize) {
            // Longer than the file on the server: it is not a prefix of it.
            qCWarning(lcDownload) << "temporary file longer than the file, starting over" << m_tmpPath;
            QFile::resize(m_tmpPath, 0);
            m_doneBytes = 0;
        }
        if (m_doneBytes >= m_totalSize) {
            // Everything is here (also an empty file, or a size just past a
            // segment boundary): no request is left to make.
            m_running = false;
            emit signalDownloadProcess(m_totalSize, m_totalSize);
            if (finalize())
                emit signalReplyFinished(m_autoRename ? m_finalPath : QString());
            break;
        }

        m_segmentNumber = qint32(m_doneBytes / m_segmentSize) + 1;
        qint64 last;
        const QByteArray range = rangeFrom(m_doneBytes, &last);
        m_expected = last - m_doneBytes + 1;
        m_written = 0;
        m_headersChecked = false;
        m_replyDone = false;
        m_segmentFailed = false;
        m_segmentDone = false;
        m_timedOut = false;
        m_progressed = false;

        m_stallTimer->start(VTransferTimings::stallMs.load());
        // The request sent ahead is this segment's when it asked for the same bytes.
        m_reply = takeAhead(range);
        const bool ahead = m_reply;
        if (!ahead)
            m_reply = get(url, range, false);
        connect(m_reply, &QNetworkReply::downloadProgress, this, &VDownloadFile::onDownLoadProgress);
        connect(m_reply, &QNetworkReply::readyRead, this, &VDownloadFile::onReadyRead);
        connect(m_reply, &QNetworkReply::finished, this, &VDownloadFile::onFinished);
        connect(m_reply, &QNetworkReply::errorOccurred, this, &VDownloadFile::onError);
        if (ahead) {
            // What it received (or its end) came before anyone listened.
            const QPointer<QNetworkReply> r = m_reply;
            QMetaObject::invokeMethod(
                this,
                [this, r] {
                    if (r && r == m_reply)
                        r->isFinished() ? onFinished() : pump();
                },
                Qt::QueuedConnection);
        }
        QEventLoop loop;
        connect(this, &VDownloadFile::signalContinue, &loop, &QEventLoop::quit);
        loop.exec();
        m_stallTimer->stop();
        m_paceTimer->stop();
        releaseReply();
        closeTemp();
    }

    dropAhead();
    m_stallTimer->stop();
    // replies released above are deleted with their manager, on this thread
    m_nam = nullptr;
    nam.reset();
    qCDebug(lcDownload) << "发送停止信号" << m_tmpPath;
    if (m_deletePartial) {
        qCDebug(lcDownload) << "删除文件" << m_tmpPath;
        QFile::remove(m_tmpPath.isEmpty() ? m_localPath + m_suffix : m_tmpPath);
        m_deletePartial = false;
    }
    emit signalIsStop();
}

QByteArray VDownloadFile::rangeFrom(qint64 from, qint64 *last) const
{
    // Segments end on multiples of the segment size; the last one is open.
    const qint64 number = from / m_segmentSize + 1;
    if (number >= m_segmentCount) {
        *last = m_totalSize - 1;
        return QStringLiteral("bytes=%1-").arg(from).toLatin1();
    }
    *last = qMin(m_segmentSize * number, m_totalSize - 1);
    return QStringLiteral("bytes=%1-%2").arg(from).arg(m_segmentSize * number).toLatin1();
}

QNetworkReply *VDownloadFile::get(const QString &url, const QByteArray &range, bool ahead)
{
    QNetworkRequest req{QUrl(url)};
    prepareRequest(req, m_nam);
    req.setRawHeader("Range", range);
    // Sent ahead it goes over a connection of its own: queued behind the
    // running answer on the same one it would gain nothing, and servers
    // that do not read pipelined requests would never answer it.
    if (ahead)
        req.setAttribute(QNetworkRequest::HttpPipeliningAllowedAttribute, false);
    QNetworkReply *reply = m_nam->get(req);
    reply->setReadBufferSize(m_throttle->isLimited() ? kReadBufferLimited : kReadBuffer);
    return reply;
}

void VDownloadFile::sendAhead()
{
    // Once a segment is under way the next one is asked for, so its answer
    // is on the way while this one arrives instead of costing a round trip
    // after it. It waits unread (the read buffer bounds it) until its turn.
    if (m_ahead || m_segmentNumber >= m_segmentCount || m_stop)
        return;
    const qint64 next = m_doneBytes + m_expected;
    if (next >= m_totalSize)
        return; // this segment ends the file (the segments' last bytes overlap the count)
    qint64 last;
    m_aheadRange = rangeFrom(next, &last);
    m_ahead = get(m_url, m_aheadRange, true);
}

QNetworkReply *VDownloadFile::takeAhead(const QByteArray &range)
{
    if (!m_ahead)
        return nullptr;
    if (m_aheadRange == range && m_ahead->error() == QNetworkReply::NoError) {
        QNetworkReply *r = m_ahead;
        m_ahead = nullptr;
        return r;
    }
    dropAhead();
    return nullptr;
}

void VDownloadFile::dropAhead()
{
    if (!m_ahead)
        return;
    if (m_ahead->isRunning())
        m_ahead->abort();
    m_ahead->deleteLater();
    m_ahead = nullptr;
}

bool VDownloadFile::checkSegmentHeaders()
{
    m_headersChecked = true;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 206) {
        const ContentRange cr = parseContentRange(m_reply->rawHeader("Content-Range"));
        if (!cr.ok || cr.unsatisfied || cr.first != m_doneBytes || cr.total != m_totalSize) {
            qCWarning(lcDownload) << "asked from" << m_doneBytes << "got" << m_reply->rawHeader("Content-Range");
            fail(cr.ok && cr.total != m_totalSize ? QStringLiteral("服务器上的文件已变化，请重新下载")
                                                  : QStringLiteral("服务器返回的数据范围与请求不符"));
            return false;
        }
        m_expected = qMin(m_expected, cr.last - cr.first + 1);
        sendAhead();
        return true;
    }
    if (status == 200) {
        // The server ignored the range and sends the whole file: start over
        // from byte 0 rather than append it to what is already here.
        qCWarning(lcDownload) << "range ignored by the server, starting over at 0";
        closeTemp();
        m_tmpFile.setFileName(m_tmpPath);
        if (!m_tmpFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            emit signalReplyError(QStringLiteral("文件写入错误"));
            stopWorkByThread();
            return false;
        }
        m_doneBytes = 0;
        m_expected = m_totalSize;
        m_segmentNumber = qint32(m_segmentCount);
        return true;
    }
    // Error statuses arrive through onError.
    return false;
}

void VDownloadFile::onReadyRead()
{
    m_progressed = true;
    pump();
}

void VDownloadFile::pump()
{
    if (!m_reply || m_segmentFailed || m_segmentDone)
        return;
    // A reply sent ahead may be taken over before its head has arrived.
    if (!m_headersChecked && !m_reply->isFinished()
        && !m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return;
    if (!m_headersChecked && !checkSegmentHeaders()) {
        m_segmentFailed = true;
        return;
    }
    if (m_reply->bytesAvailable() > 0) {
        if (!m_tmpFile.isOpen()) {
            m_tmpFile.setFileName(m_tmpPath);
            if (!m_tmpFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
                emit signalReplyError(QStringLiteral("文件写入错误"));
                stopWorkByThread();
                return;
            }
        }
        if (m_chunk.size() < kChunk)
            m_chunk.resize(int(kChunk));
        while (m_reply && m_reply->bytesAvailable() > 0) {
            const qint64 room = m_expected - m_written;
            if (room <= 0) {
                // More than was asked for: never let it into the file.
                m_reply->read(m_reply->bytesAvailable());
                break;
            }
            qint64 want = qMin(qMin(m_reply->bytesAvailable(), kChunk), room);
            want = m_throttle->tryAcquire(want);
            if (want <= 0) {
                m_paceTimer->start(m_throttle->msUntilAvailable());
                break;
            }
            const qint64 n = m_reply->read(m_chunk.data(), want);
            if (n <= 0)
                break;
            if (m_tmpFile.write(m_chunk.constData(), n) != n) {
                emit signalReplyError(QStringLiteral("文件写入错误"));
                stopWorkByThread();
                return;
            }
            m_written += n;
        }
        m_tmpFile.flush();
        m_progressed = true;
        // Every read would be a queued event for the receiver's thread; a
        // few a second say as much, and the end of a segment always.
        if (!m_progressClock.isValid() || m_progressClock.elapsed() >= kProgressMs || m_written >= m_expected)
            reportProgress();
    }
    if (m_reply && m_replyDone && m_reply->bytesAvailable() == 0)
        finishSegment();
}

void VDownloadFile::onDownLoadProgress(qint64 received, qint64 total)
{
    Q_UNUSED(received)
    Q_UNUSED(total)
    m_progressed = true;
}

void VDownloadFile::onFinished()
{
    m_replyDone = true;
    pump();
}

void VDownloadFile::reportProgress()
{
    m_progressClock.start();
    m_reported = m_doneBytes + m_written;
    emit signalDownloadProcess(m_reported, m_totalSize);
}

void VDownloadFile::finishSegment()
{
    m_segmentDone = true;
    qCDebug(lcDownload) << "阶段下载结束" << m_segmentNumber << m_segmentCount;
    if (m_doneBytes + m_written != m_reported)
        reportProgress();
    closeTemp();
    if (m_reply && m_reply->error() != QNetworkReply::NoError) {
        emit signalReplyError(networkErrorText(int(m_reply->error())));
        m_stop = true;
    } else if (m_written < m_expected) {
        // The connection ended early without an error: keep the prefix and let
        // the next pass ask for the rest.
        qCWarning(lcDownload) << "segment short by" << (m_expected - m_written);
        if (m_written == 0) {
            emit signalReplyError(QStringLiteral("服务器返回的数据不完整"));
            m_stop = true;
        }
    }
    stopWork();
}

bool VDownloadFile::finalize()
{
    QString target = m_tmpPath.left(m_tmpPath.lastIndexOf(m_suffix));
    if (!QFile::exists(m_tmpPath)) {
        QFile f(m_tmpPath);
        if (!f.open(QIODevice::WriteOnly)) {
            emit signalReplyError(QStringLiteral("文件写入错误"));
            return false;
        }
    }
    if (m_autoRename) {
        target = VUtils::freeFileName(target);
    } else if (QFile::exists(target) && !QFile::remove(target)) {
        emit signalReplyError(QStringLiteral("文件重命名失败"));
        return false;
    }
    if (!QFile::rename(m_tmpPath, target)) {
        emit signalReplyError(QStringLiteral("文件重命名失败"));
        return false;
    }
    m_finalPath = target;
    return true;
}

void VDownloadFile::releaseReply()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    // A reply that already failed is over; aborting it again only warns.
    if (m_reply->isRunning() && m_reply->error() == QNetworkReply::NoError)
        m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void VDownloadFile::closeTemp()
{
    if (m_tmpFile.isOpen()) {
        m_tmpFile.flush();
        m_tmpFile.close();
    }
}

void VDownloadFile::stopWork()
{
    if (m_reply && (m_reply->isRunning() || m_reply->error() != QNetworkReply::NoError))
        releaseReply();
    closeTemp();
    if (m_stop)
        m_running = false;
    emit signalContinue();
}

void VDownloadFile::stopWorkByThread()
{
    qCDebug(lcDownload) << "收到停止信号" << m_tmpPath;
    m_stop = true;
    stopWork();
}

void VDownloadFile::fail(const QString &message)
{
    emit signalReplyError(message);
    stopWorkByThread();
}

void VDownloadFile::onError(QNetworkReply::NetworkError code)
{
    if (!m_reply)
        return;
    // Keep what already arrived: it is a valid prefix of the file.
    if (!m_segmentFailed && m_headersChecked)
        pump();
    m_segmentFailed = true;
    emit signalReplyError(networkErrorText(int(code)));
    stopWorkByThread();
}

void VDownloadFile::slotTimeout()
{
    if (m_progressed) {
        m_progressed = false;
        return;
    }
    m_timedOut = true;
    stopWorkByThread();
    emit signalReplyError(QStringLiteral("网络超时"));
}

void VDownloadFile::slotTimeout2()
{
    m_probeTimedOut = true;
}
