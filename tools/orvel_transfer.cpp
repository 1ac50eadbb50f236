// orvel-transfer: runs one download or one upload worker from the command
// line, printing progress, the worker's messages, the final digest, bytes and
// seconds. Exit code 0 only when the transfer completed.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "Api/api.h"
#include "Api/vsignin.h"
#include "context/orvelcore.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "request/vurlrequest.h"
#include "orvel_transfer_many.h"
#include "transfer/vdownloadfile.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vuploadfile.h"
#include "utils/vutils.h"

namespace {

void out(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

qint64 peakRssKib()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The program's own digest (large reads, the fast SHA-256).
QString sha256Of(const QString &path)
{
    return VUtils::fileSha256(path);
}

// Prints progress at most once a second, and the final line.
class Progress
{
public:
    void start() { m_clock.start(); }
    void update(qint64 done, qint64 total)
    {
        m_done = done;
        m_total = total;
        if (m_last.isValid() && m_last.elapsed() < 1000)
            return;
        m_last.start();
        const double s = m_clock.elapsed() / 1000.0;
        out(QStringLiteral("progress %1 / %2 bytes  %3 s  %4 MiB/s")
                .arg(done)
                .arg(total)
                .arg(s, 0, 'f', 1)
                .arg(s > 0 ? done / 1048576.0 / s : 0.0, 0, 'f', 1));
    }
    double seconds() const { return m_clock.elapsed() / 1000.0; }
    qint64 done() const { return m_done; }

private:
    QElapsedTimer m_clock;
    QElapsedTimer m_last;
    qint64 m_done = 0;
    qint64 m_total = 0;
};

// A limit goes through the settings record, as the settings dialog's would.
void applyLimit(const QCommandLineParser &p, VTransferThrottle *t)
{
    if (!p.isSet(QStringLiteral("limit-kbps")))
        return;
    const int kbps = p.value(QStringLiteral("limit-kbps")).toInt();
    M_config *c = M_config::instance();
    if (t == VTransferThrottle::upload()) {
        c->Transfer_isupload = kbps > 0;
        c->Transfer_speed_upload = kbps;
    } else {
        c->Transfer_isdownload = kbps > 0;
        c->Transfer_speed_download = kbps;
    }
    VTransferThrottle::followConfig();
    VTransferThrottle::applyConfig();
}

int runDownload(const QCommandLineParser &p)
{
    const QString url = p.value(QStringLiteral("url"));
    const QString outPath = p.value(QStringLiteral("out"));
    if (url.isEmpty() || outPath.isEmpty()) {
        out(QStringLiteral("error: download needs --url and --out"));
        return 2;
    }
    applyLimit(p, VTransferThrottle::download());
    auto *worker = new VDownloadFile;
    worker->setUrl(url);
    worker->setLocalPath(QFileInfo(outPath).absoluteFilePath());
    if (p.isSet(QStringLiteral("id")))
        worker->setSuffixId(p.value(QStringLiteral("id")));
    worker->setAutoRename(!p.isSet(QStringLiteral("no-rename")));

    QThread thread;
    worker->moveToThread(&thread);
    Progress progress;
    bool ok = false;
    QString finalPath;
    QEventLoop loop;
    QObject::connect(worker, &VDownloadFile::signalDownloadProcess, &loop,
                     [&](qint64 d, qint64 t) { progress.update(d, t); });
    QObject::connect(worker, &VDownloadFile::signalReplyError, &loop,
                     [&](const QString &m) { out(QStringLiteral("error: %1").arg(m)); });
    QObject::connect(worker, &VDownloadFile::signalReplyFinished, &loop, [&](const QString &path) {
        ok = true;
        finalPath = path;
    });
    QObject::connect(worker, &VDownloadFile::signalIsStop, &loop, &QEventLoop::quit);
    thread.start();
    progress.start();
    QMetaObject::invokeMethod(worker, "run", Qt::QueuedConnection);
    loop.exec();
    const double seconds = progress.seconds();
    if (finalPath.isEmpty())
        finalPath = worker->finalPath();
    const qint64 total = worker->totalSize();
    thread.quit();
    thread.wait();
    delete worker;
    if (!ok)
        return 1;
    out(QStringLiteral("saved %1").arg(finalPath));
    out(QStringLiteral("sha256 %1").arg(sha256Of(finalPath)));
    out(QStringLiteral("bytes %1").arg(total));
    out(QStringLiteral("seconds %1").arg(seconds, 0, 'f', 3));
    out(QStringLiteral("speed %1 MiB/s").arg(seconds > 0 ? total / 1048576.0 / seconds : 0.0, 0, 'f', 1));
    out(QStringLiteral("peak_rss_kib %1").arg(peakRssKib()));
    return 0;
}

bool failed(const QJsonObject &reply, const QString &step)
{
    if (Api::getCode(reply) == 0)
        return false;
    out(QStringLiteral("error: %1: %2 (Code %3)").arg(step, Api::getMsg(reply)).arg(Api::getCode(reply)));
    return true;
}

// From the environment the password stays out of the process list.
QString passwordOf(const QCommandLineParser &p)
{
    return p.isSet(QStringLiteral("password")) ? p.value(QStringLiteral("password"))
                                               : qEnvironmentVariable("ORVEL_PASSWORD");
}

// The client's own sign-in sequence; `school` is taken when the account has it.
bool signIn(const QString &user, const QString &password, const QString &school)
{
    const VSignIn::Result r = VSignIn::signInSync(user, password, school);
    if (!r.ok()) {
        out(QStringLiteral("error: %1").arg(VSignIn::describe(r)));
        return false;
    }
    out(QStringLiteral("signed in as %1, school %2").arg(user, r.schoolId));
    return true;
}

// The address the uploaded file can be fetched from (for benchmarks that
// download it again); best effort.
void printDownloadUrl(const QString &folder, const QString &name)
{
    Api *api = Api::instance();
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    const QJsonObject info = api->startApiSync(Api::file_infobypath, Api::params_file_infobypath(path + name));
    const QString fileid = Api::getInfoFile(Api::getData(info).toObject()).id;
    const QJsonObject link = api->startApiSync(Api::act_GetDownLoadLink);
    const QJsonValue msg = link.value(QStringLiteral("Msg"));
    const QString base = Api::getUpserver(msg.isObject() ? msg.toObject() : Api::getData(link).toObject());
    if (fileid.isEmpty() || base.isEmpty())
        return;
    out(QStringLiteral("fileid %1").arg(fileid));
    out(QStringLiteral("download_url %1").arg(VUtils::downloadUrl(base, fileid, api->token())));
}

int runUpload(const QCommandLineParser &p)
{
    const QString server = p.value(QStringLiteral("server"));
    const QString file = p.value(QStringLiteral("file"));
    const QString to = p.value(QStringLiteral("to"));
    if (server.isEmpty() || file.isEmpty() || to.isEmpty() || !p.isSet(QStringLiteral("user"))) {
        out(QStringLiteral("error: upload needs --server, --user, --password, --file and --to"));
        return 2;
    }
    const QFileInfo info(file);
    if (!info.isFile()) {
        out(QStringLiteral("error: no such file %1").arg(file));
        return 2;
    }
    applyLimit(p, VTransferThrottle::upload());
    VGlobalParameter::instance()->setServerRoot(server);
    if (!signIn(p.value(QStringLiteral("user")), passwordOf(p), p.value(QStringLiteral("school"))))
        return 1;
    Api *api = Api::instance();

    QElapsedTimer digestClock;
    digestClock.start();
    // Digest, registration, content check and blocks: what an upload row does.
    QElapsedTimer whole;
    whole.start();
    const QString digest = VUtils::fileSha256(info.absoluteFilePath());
    if (digest.isEmpty()) {
        out(QStringLiteral("error: cannot read %1").arg(file));
        return 1;
    }
    out(QStringLiteral("local sha256 %1 (%2 s)").arg(digest).arg(digestClock.elapsed() / 1000.0, 0, 'f', 3));

    QString evtid = p.value(QStringLiteral("evtid"));
    QString upserver = p.value(QStringLiteral("upserver"));
    const int startBlock = p.value(QStringLiteral("block")).toInt();
    bool instant = false;
    if (evtid.isEmpty()) {
        if (startBlock > 0) {
            out(QStringLiteral("error: --block needs the --evtid and --upserver of the upload to resume"));
            return 2;
        }
        const int uptype = p.isSet(QStringLiteral("uptype")) ? p.value(QStringLiteral("uptype")).toInt() : 1;
        QJsonObject r = api->startApiSync(
            Api::act_GetUploadLink, Api::params_act_GetUploadLink(to, info.fileName(), info.size(), uptype));
        if (failed(r, QStringLiteral("GetUploadLink")))
            return 1;
        const QJsonObject data = Api::getData(r).toObject();
        evtid = data.value(QStringLiteral("evtid")).toVariant().toString();
        upserver = Api::getUpserver(data);
        out(QStringLiteral("event %1 on %2").arg(evtid, upserver));
        if (p.isSet(QStringLiteral("register-only"))) {
            // For reference tools that post the blocks themselves.
            int bs = 0, n = 0;
            VUploadFile::blockLayout(info.size(), bs, n);
            out(QStringLiteral("token %1").arg(api->token()));
            out(QStringLiteral("evtid %1").arg(evtid));
            out(QStringLiteral("upserver %1").arg(upserver));
            out(QStringLiteral("md5 %1").arg(digest));
            out(QStringLiteral("blocksize %1").arg(bs));
            out(QStringLiteral("totalblocknum %1").arg(n));
            out(QStringLiteral("status_url %1").arg(api->url(Api::act_GetActStatus)));
            return 0;
        }
        VUrlRequest chk;
        api->prepare(&chk, Api::file_ChkMD5, Api::params_file_ChkMD5(evtid, digest), upserver);
        r = chk.send();
        if (failed(r, QStringLiteral("ChkMD5")))
            return 1;
        instant = Api::isTrue(Api::getData(r)) || Api::isTrue(r.value(QStringLiteral("Msg")));
    }

    Progress progress;
    progress.start();
    bool ok = instant;
    int lastBlock = startBlock;
    if (instant) {
        out(QStringLiteral("instant upload: the server holds this content"));
    } else {
        auto *worker = new VUploadFile;
        const QJsonObject statusRequest{{QStringLiteral("url"), api->url(Api::act_GetActStatus)},
                                        {QStringLiteral("type"), Api::isPost(Api::act_GetActStatus) ? 1 : 0}};
        const QString prep = worker->setUploadInfo(evtid, digest, info.absoluteFilePath(), startBlock, api->token(),
                                                   upserver, statusRequest);
        if (!prep.isEmpty()) {
            out(QStringLiteral("error: %1").arg(prep));
            delete worker;
            return 1;
        }
        out(QStringLiteral("blocks %1 of %2 bytes").arg(worker->totalblocknum()).arg(worker->blocksize()));
        QThread thread;
        worker->moveToThread(&thread);
        QEventLoop loop;
        QObject::connect(worker, &VUploadFile::signalUploadProcess, &loop,
                         [&](qint64 d, qint64 t) { progress.update(d, t); });
        QObject::connect(worker, &VUploadFile::signalReplyError, &loop,
                         [&](const QString &m) { out(QStringLiteral("error: %1").arg(m)); });
        QObject::connect(worker, &VUploadFile::signalReplyFinished, &loop, [&](int block) {
            if (block < 0) {
                ok = true;
                loop.quit();
            } else {
                lastBlock = block;
                out(QStringLiteral("block %1 stored").arg(block));
            }
        });
        QObject::connect(worker, &VUploadFile::signalIsStop, &loop, &QEventLoop::quit);
        thread.start();
        QMetaObject::invokeMethod(worker, "run", Qt::QueuedConnection);
        loop.exec();
        thread.quit();
        thread.wait();
        delete worker;
    }
    const double seconds = progress.seconds();
    const double totalSeconds = whole.elapsed() / 1000.0;
    if (!ok) {
        out(QStringLiteral("resume with --evtid %1 --upserver %2 --block %3").arg(evtid, upserver).arg(lastBlock));
        return 1;
    }
    out(QStringLiteral("uploaded %1 to %2").arg(info.fileName(), to));
    printDownloadUrl(to, info.fileName());
    out(QStringLiteral("sha256 %1").arg(digest));
    out(QStringLiteral("bytes %1").arg(info.size()));
    out(QStringLiteral("seconds %1").arg(seconds, 0, 'f', 3));
    out(QStringLiteral("total_seconds %1").arg(totalSeconds, 0, 'f', 3));
    out(QStringLiteral("speed %1 MiB/s").arg(seconds > 0 ? info.size() / 1048576.0 / seconds : 0.0, 0, 'f', 1));
    out(QStringLiteral("peak_rss_kib %1").arg(peakRssKib()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("OrvelNetdisk"));
    initOrvelCore();
    // The sign-on password travels encrypted by the crypto script.
    QFile script(QStringLiteral(":/js/crypto.txt"));
    if (script.open(QIODevice::ReadOnly | QIODevice::Text))
        VConfigs::instance()->setScript(QString::fromUtf8(script.readAll()));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Runs one transfer worker. It prints the final digest, bytes and seconds; an upload also\n"
        "prints the file's download address, and --register-only the bearer token: both are secrets.\n"
        "The password may come from the environment variable ORVEL_PASSWORD instead of --password.\n"
        "  download --url URL --out PATH [--id ID] [--no-rename]\n"
        "  upload --server ROOT --user U --password P --file F --to SERVER_FOLDER [--block N "
        "--evtid E --upserver URL]\n"
        "  many-upload --server ROOT --user U --password P --dir LOCAL_DIR --to SERVER_FOLDER [--parallel N] "
        "[--uptype N]\n"
        "  many-download --server ROOT --user U --password P --from SERVER_FOLDER --out LOCAL_DIR [--parallel N]"));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("command"), QStringLiteral("download or upload"));
    p.addOptions({
        {QStringLiteral("url"), QStringLiteral("Download address."), QStringLiteral("URL")},
        {QStringLiteral("out"), QStringLiteral("Local target file."), QStringLiteral("PATH")},
        {QStringLiteral("id"), QStringLiteral("Id in the temporary file name."), QStringLiteral("ID")},
        {QStringLiteral("no-rename"), QStringLiteral("Replace an existing target instead of picking a free name.")},
        {QStringLiteral("server"), QStringLiteral("Server root."), QStringLiteral("ROOT")},
        {QStringLiteral("user"), QStringLiteral("Account."), QStringLiteral("U")},
        {QStringLiteral("password"), QStringLiteral("Password."), QStringLiteral("P")},
        {QStringLiteral("school"), QStringLiteral("School id (default: the first)."), QStringLiteral("ID")},
        {QStringLiteral("file"), QStringLiteral("Local file to upload."), QStringLiteral("F")},
        {QStringLiteral("to"), QStringLiteral("Server folder."), QStringLiteral("SERVER_FOLDER")},
        {QStringLiteral("uptype"), QStringLiteral("A name already there: 1 replace (upload's default), 2 keep both; "
                                                   "many-upload fails such files unless given."),
         QStringLiteral("N")},
        {QStringLiteral("block"), QStringLiteral("Block to resume at (with --evtid and --upserver)."),
         QStringLiteral("N")},
        {QStringLiteral("evtid"), QStringLiteral("Upload event to resume."), QStringLiteral("E")},
        {QStringLiteral("upserver"), QStringLiteral("Upload server of that event."), QStringLiteral("URL")},
        {QStringLiteral("register-only"), QStringLiteral("Register the upload, print its parameters and stop.")},
        {QStringLiteral("limit-kbps"), QStringLiteral("Speed limit in KB/s."), QStringLiteral("N")},
        // many files mode (orvel_transfer_many.cpp)
        {QStringLiteral("dir"), QStringLiteral("Local folder whose files go up."), QStringLiteral("LOCAL_DIR")},
        {QStringLiteral("from"), QStringLiteral("Server folder whose files come down."), QStringLiteral("SERVER_FOLDER")},
        {QStringLiteral("parallel"), QStringLiteral("Transfers at once (default 1)."), QStringLiteral("N"),
         QStringLiteral("1")},
    });
    p.process(app);
    const QString command = p.positionalArguments().value(0);
    if (command == QLatin1String("download"))
        return runDownload(p);
    if (command == QLatin1String("upload"))
        return runUpload(p);
    if (command == QLatin1String("many-upload") || command == QLatin1String("many-download")) {
        return runManyFiles(p, command == QLatin1String("many-upload"), [&p] {
            return signIn(p.value(QStringLiteral("user")), passwordOf(p), p.value(QStringLiteral("school")));
        });
    }
    p.showHelp(2);
}
