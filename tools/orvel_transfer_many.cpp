#include "orvel_transfer_many.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTextStream>

#include "Api/api.h"
#include "DB/db_self.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "transfer/vdigestjob.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransfertasklist.h"
#include "transfer/vuploadtask.h"

namespace {

void say(const QString &line)
{
    QTextStream(stdout) << line << '\n';
}

QString folderPath(QString folder)
{
    if (!folder.startsWith(QLatin1Char('/')))
        folder.prepend(QLatin1Char('/'));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// name -> (id, sha256, size) of the files directly in a server folder.
struct Entry
{
    QString id, sha;
    qint64 size = 0;
};
QHash<QString, Entry> listFolder(const QString &folder)
{
    QHash<QString, Entry> out;
    const QJsonObject r = Api::instance()->startApiSync(Api::file_getlist, Api::params_file_getlist(folder, QString(), 0, 0));
    const QJsonArray list = Api::getData(r).toObject().value(QStringLiteral("list")).toArray();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("isdir")).toBool())
            continue;
        Entry e;
        e.id = o.value(QStringLiteral("id")).toVariant().toString();
        e.sha = o.value(QStringLiteral("md5")).toString();
        e.size = o.value(QStringLiteral("filesize")).toVariant().toLongLong();
        out.insert(o.value(QStringLiteral("filename")).toString(), e);
    }
    return out;
}

} // namespace

int runManyFiles(const QCommandLineParser &p, bool upload, const std::function<bool()> &signIn)
{
    const QString server = p.value(QStringLiteral("server"));
    const QString local = upload ? p.value(QStringLiteral("dir")) : p.value(QStringLiteral("out"));
    QString folder = upload ? p.value(QStringLiteral("to")) : p.value(QStringLiteral("from"));
    if (server.isEmpty() || local.isEmpty() || folder.isEmpty()) {
        say(upload ? QStringLiteral("error: many-upload needs --server, --user, --password, --dir and --to")
                   : QStringLiteral("error: many-download needs --server, --user, --password, --from and --out"));
        return 2;
    }
    const int parallel = qMax(1, p.value(QStringLiteral("parallel")).toInt());
    M_config *config = M_config::instance();
    config->Transfer_threadcount_upload = parallel;
    config->Transfer_threadcount_download = parallel;
    VGlobalParameter::instance()->setServerRoot(server);
    if (!signIn())
        return 1;
    folder = folderPath(folder);

    // A log of its own, as a signed-in client keeps one.
    QTemporaryDir home;
    db_self store(home.path());
    if (!store.isReady()) {
        say(QStringLiteral("error: %1").arg(store.initError()));
        return 1;
    }
    store.connectHub();
    VTransferTaskList list(upload ? VTransferTaskList::Upload : VTransferTaskList::Download, &store);

    // Names already in the folder: replaced (1) or kept beside (2) when asked
    // for; otherwise nobody is there to answer the question, so they fail.
    const int uptype = p.value(QStringLiteral("uptype")).toInt();
    QList<M_db_file> records;
    qint64 bytes = 0;
    QHash<QString, Entry> remote;
    if (upload) {
        const QFileInfoList files = QDir(local).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &fi : files) {
            M_db_file r;
            r.type = 2;
            r.filename = fi.fileName();
            r.localpath = fi.absoluteFilePath();
            r.serverpath = folder;
            r.filesize = fi.size();
            if (uptype == M_db_file::uptype_replace || uptype == M_db_file::uptype_rename)
                r.uptype = M_db_file::enum_uptype(uptype);
            bytes += fi.size();
            records << r;
        }
    } else {
        remote = listFolder(folder);
        QDir().mkpath(local);
        for (auto it = remote.cbegin(); it != remote.cend(); ++it) {
            M_db_file r;
            r.type = 1;
            r.fileid = it.value().id;
            r.filename = it.key();
            r.localpath = QDir(local).absoluteFilePath(it.key());
            r.filesize = it.value().size;
            bytes += it.value().size;
            records << r;
        }
    }
    if (records.isEmpty()) {
        say(QStringLiteral("error: no files"));
        return 2;
    }
    say(QStringLiteral("files %1, %2 bytes, %3 in parallel").arg(records.size()).arg(bytes).arg(parallel));

    QEventLoop loop;
    int failed = 0;
    QStringList errors;
    auto settled = [&] {
        if (list.countActive() == 0)
            loop.quit();
    };
    QObject::connect(&list, &VTransferTaskList::signalInserted, &loop, [&](int first, int n) {
        for (int i = first; i < first + n; ++i) {
            VTransferTask *t = list.at(i);
            QObject::connect(t, &VTransferTask::signalStatusChanged, &loop, [&, t](int s) {
                if (s == VTransferTask::Failed) {
                    ++failed;
                    errors << QStringLiteral("%1: %2").arg(t->record().filename, t->record().error);
                }
                QMetaObject::invokeMethod(&loop, settled, Qt::QueuedConnection);
            });
        }
    });
    QObject::connect(&list, &VTransferTaskList::signalClashesChanged, &loop, [&] {
        const QList<VUploadTask *> clashes = list.clashes();
        if (clashes.isEmpty())
            return;
        for (VUploadTask *t : clashes) {
            ++failed;
            errors << QStringLiteral("%1: %2 (--uptype 1 replaces, 2 keeps both)")
                          .arg(t->record().filename, t->clashMessage());
        }
        list.dismissClashes();
        QMetaObject::invokeMethod(&loop, settled, Qt::QueuedConnection);
    });
    QElapsedTimer clock;
    clock.start();
    emit VGlobalConnect::instance()->signalDbselfAddFiles(records, 0, true);
    if (list.countActive() > 0)
        loop.exec();
    const double seconds = clock.elapsed() / 1000.0;
    for (const QString &e : qAsConst(errors))
        say(QStringLiteral("error: %1").arg(e));

    // Every file compared by content.
    int mismatched = 0;
    if (upload)
        remote = listFolder(folder);
    for (const M_db_file &r : qAsConst(records)) {
        const QString path = upload ? r.localpath : QDir(local).absoluteFilePath(r.filename);
        const QString localSha = VDigestJob::digest(path, nullptr, nullptr);
        if (localSha.isEmpty() || localSha != remote.value(r.filename).sha)
            ++mismatched;
    }
    say(QStringLiteral("done %1 of %2, failed %3, sha256 mismatches %4")
            .arg(records.size() - failed)
            .arg(records.size())
            .arg(failed)
            .arg(mismatched));
    say(QStringLiteral("seconds %1").arg(seconds, 0, 'f', 3));
    say(QStringLiteral("files_per_s %1").arg(seconds > 0 ? records.size() / seconds : 0.0, 0, 'f', 1));
    say(QStringLiteral("speed %1 MiB/s").arg(seconds > 0 ? bytes / 1048576.0 / seconds : 0.0, 0, 'f', 1));
    list.shutdown(3000);
    return failed == 0 && mismatched == 0 ? 0 : 1;
}
