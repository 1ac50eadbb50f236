// Applied speed limits: two downloads and two uploads at once under one
// limit each, measured over 10 s (mean and the busiest one-second window),
// then a changed setting and how long it takes to be felt.
//
// A built-in loopback server answers ranged GETs from a virtual file and
// swallows POST bodies, so only the client's pacing is measured.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>

#include "records/m_config.h"
#include "records/metatypes.h"
#include "transfer/vdownloadfile.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vuploadrequest.h"
#include "transfer/vtransferthrottle.h"

namespace {

constexpr qint64 kVirtualSize = 4LL << 30;

class SinkServer : public QTcpServer
{
public:
    void incomingConnection(qintptr fd) override
    {
        auto *s = new QTcpSocket(this);
        s->setSocketDescriptor(fd);
        auto *head = new QByteArray;
        auto *left = new qint64(-1);
        connect(s, &QTcpSocket::readyRead, s, [s, head, left] {
            if (*left < 0) {
                head->append(s->readAll());
                const int end = head->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const QByteArray h = head->left(end);
                const QByteArray rest = head->mid(end + 4);
                if (h.startsWith("GET")) {
                    static const QRegularExpression re(QStringLiteral("[Rr]ange: bytes=(\\d+)-(\\d*)"));
                    const auto m = re.match(QString::fromLatin1(h));
                    qint64 first = m.captured(1).toLongLong();
                    qint64 last = m.captured(2).isEmpty() ? kVirtualSize - 1 : m.captured(2).toLongLong();
                    const qint64 len = last - first + 1;
                    s->write("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(first) + '-'
                             + QByteArray::number(last) + '/' + QByteArray::number(kVirtualSize)
                             + "\r\nContent-Length: " + QByteArray::number(len) + "\r\nConnection: close\r\n\r\n");
                    // Feed the body as the socket drains, so the sender never
                    // holds more than a few chunks.
                    auto *sent = new qint64(0);
                    auto feed = [s, sent, len] {
                        static const QByteArray chunk(256 * 1024, 'x');
                        while (*sent < len && s->bytesToWrite() < 1 << 20) {
                            const qint64 n = qMin<qint64>(chunk.size(), len - *sent);
                            s->write(chunk.constData(), n);
                            *sent += n;
                        }
                        if (*sent >= len)
                            s->disconnectFromHost();
                    };
                    connect(s, &QTcpSocket::bytesWritten, s, feed);
                    connect(s, &QObject::destroyed, [sent] { delete sent; });
                    feed();
                    return;
                }
                static const QRegularExpression cl(QStringLiteral("[Cc]ontent-[Ll]ength: (\\d+)"));
                *left = cl.match(QString::fromLatin1(h)).captured(1).toLongLong() - rest.size();
                head->clear();
            } else {
                *left -= s->readAll().size();
            }
            if (*left <= 0) {
                s->write("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n{\"Code\":0}");
                s->disconnectFromHost();
            }
        });
        connect(s, &QTcpSocket::disconnected, s, [s, head, left] {
            delete head;
            delete left;
            s->deleteLater();
        });
    }
};

std::atomic<qint64> g_down{0};
std::atomic<qint64> g_up{0};

// Posts 5 MiB blocks in a loop the way the upload worker does.
class Uploader : public QObject
{
public:
    Uploader(const QString &url, std::atomic<bool> *stop) : m_url(url), m_stop(stop) {}
    void start() { next(); }

private:
    void next()
    {
        if (m_stop->load())
            return;
        static const QByteArray block(5 * 1024 * 1024, 'u');
        auto *r = new VUploadRequest(VTransferThrottle::upload(), this);
        auto *last = new qint64(0);
        connect(r, &VUploadRequest::uploadProgress, this, [last](qint64 sent, qint64) {
            if (sent > *last) {
                g_up += sent - *last;
                *last = sent;
            }
        });
        connect(r, &VUploadRequest::finished, this, [this, r, last] {
            delete last;
            r->deleteLater();
            next();
        });
        r->post(QUrl(m_url), QByteArray(), "form-data; name=\"file\";filename=\"b\";", block,
                {{"block", "0"}});
    }
    QString m_url;
    std::atomic<bool> *m_stop;
};

struct Window
{
    double mean = 0, maxWindow = 0;
};

// Samples a counter every 100 ms for `seconds` while the event loop runs.
Window measure(std::atomic<qint64> &counter, int seconds)
{
    QVector<qint64> samples;
    QElapsedTimer clock;
    clock.start();
    samples << counter.load();
    while (clock.elapsed() < seconds * 1000) {
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        samples << counter.load();
    }
    if (qEnvironmentVariableIsSet("BENCH_TRACE"))
        for (int i = 10; i < samples.size(); i += 10)
            std::printf("  second %d: %.1f KB\n", i / 10, (samples[i] - samples[i - 10]) / 1024.0);
    Window w;
    w.mean = double(samples.last() - samples.first()) / seconds;
    for (int i = 10; i < samples.size(); ++i)
        w.maxWindow = qMax(w.maxWindow, double(samples[i] - samples[i - 10]));
    return w;
}

// Milliseconds until a 500 ms window's rate is within 20 % of `target`.
int settle(std::atomic<qint64> &counter, double target)
{
    QElapsedTimer clock;
    clock.start();
    QVector<QPair<qint64, qint64>> s; // (ms, bytes)
    s << qMakePair(qint64(0), counter.load());
    while (clock.elapsed() < 5000) {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
        s << qMakePair(clock.elapsed(), counter.load());
        for (int i = s.size() - 2; i >= 0; --i) {
            if (s.last().first - s[i].first >= 500) {
                const double rate = double(s.last().second - s[i].second) * 1000.0 / (s.last().first - s[i].first);
                if (rate < target * 1.2 && rate > target * 0.8)
                    return int(s[i].first); // the window that already obeys began here
                break;
            }
        }
    }
    return -1;
}

void report(const char *what, qint64 limit, const Window &w)
{
    std::printf("%-9s limit %7.1f KB/s  mean over 10 s %7.1f KB/s (%+5.1f %%)  busiest 1 s window %7.1f KB/s "
                "(%.2f x limit)\n",
                what, limit / 1024.0, w.mean / 1024.0, (w.mean / limit - 1) * 100, w.maxWindow / 1024.0,
                w.maxWindow / limit);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerMetaTypes();
    SinkServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/f").arg(server.serverPort());

    M_config *c = M_config::instance();
    c->Transfer_isdownload = true;
    c->Transfer_speed_download = 2048; // KB/s
    c->Transfer_isupload = true;
    c->Transfer_speed_upload = 1024;
    VTransferThrottle::followConfig();

    QTemporaryDir dir;
    QList<QThread *> threads;
    QList<VDownloadFile *> downs;
    for (int i = 0; i < 2; ++i) {
        auto *w = new VDownloadFile;
        w->setUrl(url);
        w->setLocalPath(dir.filePath(QStringLiteral("d%1.bin").arg(i)));
        auto *last = new qint64(0);
        QObject::connect(w, &VDownloadFile::signalDownloadProcess, &app, [last](qint64 d, qint64) {
            g_down += d - *last;
            *last = d;
        });
        auto *t = new QThread;
        w->moveToThread(t);
        t->start();
        QMetaObject::invokeMethod(w, "run", Qt::QueuedConnection);
        threads << t;
        downs << w;
    }
    std::atomic<bool> stop{false};
    QList<Uploader *> ups;
    for (int i = 0; i < 2; ++i) {
        auto *u = new Uploader(url, &stop);
        auto *t = new QThread;
        u->moveToThread(t);
        t->start();
        QMetaObject::invokeMethod(u, [u] { u->start(); }, Qt::QueuedConnection);
        threads << t;
        ups << u;
    }

    measure(g_down, 1); // let both directions get going
    std::printf("two downloads and two uploads in parallel, one budget per direction\n");
    std::atomic<qint64> *counters[2] = {&g_down, &g_up};
    // Both directions are sampled in the same 10 s.
    Window wd, wu;
    {
        QThread *side = QThread::create([&] { wu = measure(g_up, 10); });
        // measure() needs an event loop on its own thread only for timing.
        side->start();
        wd = measure(g_down, 10);
        side->wait();
        delete side;
    }
    Q_UNUSED(counters)
    report("download", 2048 * 1024, wd);
    report("upload", 1024 * 1024, wu);

    c->Transfer_speed_download = 512;
    c->Transfer_speed_upload = 256;
    emit VGlobalConnect::instance()->signalChange_config();
    const int msDown = settle(g_down, 512 * 1024);
    const int msUp = settle(g_up, 256 * 1024);
    std::printf("lowered to 512 / 256 KB/s: the first 500 ms window within 20 %% of the new limit starts %d ms "
                "(download) and %d ms (upload) after the change\n",
                msDown, msUp);
    c->Transfer_speed_download = 4096;
    emit VGlobalConnect::instance()->signalChange_config();
    const int msRaise = settle(g_down, 4096 * 1024);
    std::printf("raised download to 4096 KB/s: the first obeying 500 ms window starts %d ms after the change\n",
                msRaise);
    wd = measure(g_down, 10);
    report("download", 4096 * 1024, wd);

    stop = true;
    for (VDownloadFile *w : downs)
        QMetaObject::invokeMethod(w, "stopWorkByThread", Qt::QueuedConnection);
    QThread::msleep(500);
    for (QThread *t : threads) {
        t->quit();
        t->wait();
    }
    return 0;
}
