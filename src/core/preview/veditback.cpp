#include "preview/veditback.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent>

#include "Api/api.h"
#include "context/vglobalparameter.h"
#include "disk/vpermission.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "utils/vfilename.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcEditBack, "orvel.editback")

namespace {

// A save may replace the file (write elsewhere, rename over it): it is
// absent for a moment. This many stability intervals it may stay away.
constexpr int kMissingTicks = 10;
// Indexes of the batches this class hands the transfer log.
constexpr int kBatchBase = 0x30000000;

QString key(const QString &path) { return QDir::cleanPath(path); }

template <typename T, typename F>
void whenDone(QObject *ctx, const QFuture<T> &future, F done)
{
    auto *w = new QFutureWatcher<T>(ctx);
    QObject::connect(w, &QFutureWatcher<T>::finished, ctx, [w, done] {
        done(w->result());
        w->deleteLater();
    });
    w->setFuture(future);
}

struct CopyResult
{
    QString copy, before, after;
};

// Runs on the pool: the digest of the edited file, a copy of it in the save
// folder under a name no other copy has, and the copy's digest.
CopyResult copyForUpload(const QString &source, const QString &saveFolder, const QString &name)
{
    CopyResult r;
    r.before = VUtils::fileSha256(source);
    const QString copy = saveFolder + QLatin1Char('/')
                         + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8) + QLatin1Char('-') + name;
    if (r.before.isEmpty() || !QFile::copy(source, copy))
        return r;
    r.copy = copy;
    r.after = VUtils::fileSha256(copy);
    return r;
}

// The transfer record of an edit copy going down (type 1) or back up (type 2).
M_db_file editRecord(const M_editfile &e, int type, const QString &localPath)
{
    M_db_file f;
    f.type = type;
    f.status = 88;
    f.fileid = e.fileid;
    f.filename = e.filename;
    f.localpath = localPath;
    f.isedit = true;
    return f;
}

} // namespace

VEditBack *VEditBack::instance()
{
    static VEditBack *self = new VEditBack;
    return self;
}

VEditBack::VEditBack(QObject *parent) : QObject(parent)
{
    QFileSystemWatcher *w = VGlobalResource::instance()->watcher();
    connect(w, &QFileSystemWatcher::fileChanged, this, &VEditBack::slotWatchEvent);
    connect(w, &QFileSystemWatcher::directoryChanged, this, &VEditBack::slotWatchEvent);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForDone, this, &VEditBack::slotTransferDone);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalTransferCancelled, this,
            &VEditBack::slotTransferCancelled);
}

QString VEditBack::editFolder(const QString &fileid)
{
    // The id names a folder: only a plain name will do.
    if (fileid.isEmpty() || cleanFileName(fileid) != fileid)
        return QString();
    return VGlobalParameter::instance()->userCachePath() + QStringLiteral("/edit/") + fileid;
}

bool VEditBack::mayEdit(const M_info_file &entry, bool isadmin)
{
    return isadmin || VPermission::allows(entry.permissioncode, VPermission::Download | VPermission::Upload);
}

bool VEditBack::isUploading(const QString &path) const { return m_sends.value(key(path)).busy; }

void VEditBack::open(const M_info_file &entry)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    const QString folder = editFolder(entry.id);
    const QString name = cleanFileName(entry.filename);
    if (folder.isEmpty() || name.isEmpty()) {
        qCWarning(lcEditBack) << "refused a name from the server for editing";
        emit hub->signalLayer_err(QStringLiteral("文件名不合法，无法在本地编辑"), false);
        return;
    }
    const QString path = folder + QLatin1Char('/') + name;
    VGlobalResource *res = VGlobalResource::instance();
    if (res->isOpenAfterDownload(path)) {
        emit hub->signalLayer_err(QStringLiteral("任务已存在"), false);
        return;
    }
    QDir().mkpath(folder);
    // A partial download left by an earlier run is of no use: the copy is
    // fetched whole or not at all.
    const QStringList stale = QDir(folder).entryList({QStringLiteral("*.download")}, QDir::Files | QDir::Hidden);
    for (const QString &s : stale)
        QFile::remove(folder + QLatin1Char('/') + s);

    if (!QFileInfo::exists(path)) {
        startDownload(entry, path, folder);
        return;
    }
    // A copy is there: its content decides whether it is kept.
    whenDone(this, QtConcurrent::run(&VUtils::fileSha256, path), [this, entry, path, folder](const QString &digest) {
        VGlobalResource *res = VGlobalResource::instance();
        M_editfile e = res->editFile(path);
        const bool known = !e.localPath.isEmpty();
        const QString server = entry.md5.toLower();
        if (!digest.isEmpty() && known && digest == e.baseDigest && digest != server) {
            // No edits of ours, but the disk moved on: fetch the new content.
            QFile::remove(path);
            startDownload(entry, path, folder);
            return;
        }
        e.fileid = entry.id;
        e.filename = entry.filename;
        e.serverFolder = VUtils::parentPath(entry.fullpath);
        e.localPath = path;
        if (digest == server)
            e.baseDigest = server;
        else if (!known)
            e.baseDigest.clear(); // edits of unknown origin: replacing needs the user's word
        e.seenDigest = digest;
        res->setEditFile(e);
        watch(path);
        qCInfo(lcEditBack) << "reopening the edit copy of file" << entry.id << (digest == server ? "" : "(unsent edits kept)");
        if (!VUtils::openFile(path))
            emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("没有可以打开此文件的程序"), false);
        emit signalWatching(path);
    });
}

void VEditBack::startDownload(const M_info_file &entry, const QString &path, const QString &folder)
{
    VGlobalResource *res = VGlobalResource::instance();
    M_editfile e;
    e.fileid = entry.id;
    e.filename = entry.filename;
    e.serverFolder = VUtils::parentPath(entry.fullpath);
    e.localPath = path;
    res->setEditFile(e);
    res->addOpenAfterDownload(path);
    res->watcher()->addPath(folder);
    M_db_file f = editRecord(e, 1, path);
    f.serverpath = entry.fullpath;
    f.filesize = entry.filesize;
    emit VGlobalConnect::instance()->signalLayer_waiting(QStringLiteral("文档在下载完成后自动打开，请稍后"), false);
    emit VGlobalConnect::instance()->signalDbselfAddFiles({f}, kBatchBase + (++m_batch), true);
}

void VEditBack::watch(const QString &path)
{
    QFileSystemWatcher *w = VGlobalResource::instance()->watcher();
    // Remove, then add: a save by rename leaves a watch on a file that is gone.
    w->removePath(path);
    if (QFileInfo::exists(path))
        w->addPath(path);
    const QString folder = QFileInfo(path).path();
    if (!w->directories().contains(folder))
        w->addPath(folder);
}

void VEditBack::slotWatchEvent(const QString &changed)
{
    if (m_shutdown)
        return;
    VGlobalResource *res = VGlobalResource::instance();
    const QString p = key(changed);
    if (res->isEditFile(p)) {
        scheduleCheck(p);
        return;
    }
    // A folder: every edited file in it (a save by rename shows here only).
    for (const M_editfile &e : res->editFiles()) {
        if (QFileInfo(e.localPath).path() == p && !res->isOpenAfterDownload(e.localPath) && !e.seenDigest.isEmpty())
            scheduleCheck(e.localPath);
    }
}

void VEditBack::scheduleCheck(const QString &path)
{
    Check &c = m_checks[path];
    if (!c.timer) {
        c.timer = new QTimer(this);
        connect(c.timer, &QTimer::timeout, this, [this, path] { checkTick(path); });
    }
    c.size = -2;
    c.missing = 0;
    c.timer->start(m_stableMs);
}

void VEditBack::checkTick(const QString &path)
{
    Check &c = m_checks[path];
    QFileInfo fi(path);
    if (!fi.exists()) {
        if (++c.missing > kMissingTicks) {
            c.timer->stop(); // gone; the folder watch notices when it comes back
            watch(path);
        }
        return;
    }
    const qint64 mtime = fi.lastModified().toMSecsSinceEpoch();
    if (fi.size() != c.size || mtime != c.mtime) {
        c.size = fi.size();
        c.mtime = mtime;
        return;
    }
    c.timer->stop();
    watch(path);
    whenDone(this, QtConcurrent::run(&VUtils::fileSha256, path),
             [this, path](const QString &digest) { hashed(path, digest); });
}

void VEditBack::hashed(const QString &path, const QString &digest)
{
    VGlobalResource *res = VGlobalResource::instance();
    if (digest.isEmpty() || !res->isEditFile(path) || m_shutdown)
        return;
    M_editfile e = res->editFile(path);
    const bool changed = digest != e.seenDigest && digest != e.baseDigest;
    e.seenDigest = digest;
    res->setEditFile(e);
    emit signalSaveChecked(path, changed);
    if (!changed)
        return; // touched, saved with the same content, or back to what the disk holds
    if (m_doNotAsk.contains(path)) {
        qCInfo(lcEditBack) << "直接保存上传";
        upload(path, Ask);
        return;
    }
    if (m_prompting.contains(path))
        return; // the open prompt sends the newest content when confirmed
    m_prompting.insert(path);
    emit signalFileChanged(path);
}

void VEditBack::answer(const QString &path, bool confirmed, bool doNotAskAgain)
{
    const QString p = key(path);
    m_prompting.remove(p);
    if (!confirmed)
        return;
    if (doNotAskAgain)
        m_doNotAsk.insert(p);
    upload(p, Ask);
}

void VEditBack::upload(const QString &path, Mode mode)
{
    const QString p = key(path);
    VGlobalResource *res = VGlobalResource::instance();
    if (!res->isEditFile(p) || m_shutdown)
        return;
    Send &s = m_sends[p];
    if (s.busy) {
        // After the one in flight; the newest content is read then.
        s.pending = true;
        if (mode != Ask)
            s.pendingMode = mode;
        return;
    }
    s.busy = true;
    s.mode = mode;
    const QString name = cleanFileName(res->editFile(p).filename);
    const QString save = VGlobalParameter::instance()->userSavePath();
    whenDone(this, QtConcurrent::run(&copyForUpload, p, save, name), [this, p, mode](const CopyResult &r) {
        copied(p, mode, r.copy, r.before, r.after);
    });
}

void VEditBack::copied(const QString &path, Mode mode, const QString &copy, const QString &before,
                       const QString &after)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (copy.isEmpty() || !QFileInfo::exists(copy)) {
        emit hub->signalLayer_err(QStringLiteral("文件保存失败，请稍后重试"), false);
        finish(path);
        return;
    }
    if (after != before) {
        // Still being written: try again once it has settled.
        QFile::remove(copy);
        m_sends[path].busy = false;
        QTimer::singleShot(m_stableMs, this, [this, path, mode] { upload(path, mode); });
        return;
    }
    const M_editfile e = VGlobalResource::instance()->editFile(path);
    if (after == e.baseDigest) {
        QFile::remove(copy); // the disk holds this content already
        finish(path);
        return;
    }
    if (mode != Ask) {
        queue(path, mode, copy, after);
        return;
    }
    confirmAndQueue(path, mode, copy, after);
}

void VEditBack::confirmAndQueue(const QString &path, Mode mode, const QString &copy, const QString &digest)
{
    // What does the disk hold now? Someone else may have replaced it.
    auto *req = new VUrlRequest;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            [this, path, mode, copy, digest](const QJsonObject &re) {
                if (Api::instance()->checkCode(re, false) != 0) {
                    QFile::remove(copy);
                    emit VGlobalConnect::instance()->signalLayer_err(Api::getMsg(re), false);
                    finish(path);
                    return;
                }
                const M_info_file now = Api::getInfoFile(Api::getData(re).toObject());
                const M_editfile e = VGlobalResource::instance()->editFile(path);
                if (e.baseDigest.isEmpty() || now.md5.toLower() != e.baseDigest) {
                    qCInfo(lcEditBack) << "the disk's copy changed since it was opened; asking";
                    QFile::remove(copy);
                    finish(path);
                    emit signalConflict(path);
                    return;
                }
                queue(path, mode, copy, digest);
            });
    Api::instance()->startApi(req, Api::file_info, Api::params_file_info(VGlobalResource::instance()->editFile(path).fileid),
                              false);
}

void VEditBack::queue(const QString &path, Mode mode, const QString &copy, const QString &digest)
{
    const M_editfile e = VGlobalResource::instance()->editFile(path);
    Send &s = m_sends[path];
    s.copy = copy;
    s.digest = digest;
    s.mode = mode;
    m_copies.insert(key(copy), path);
    M_db_file f = editRecord(e, 2, copy);
    f.serverpath = e.serverFolder;
    f.md5 = digest;
    f.filesize = QFileInfo(copy).size();
    f.uptype = mode == KeepBoth ? M_db_file::uptype_rename : M_db_file::uptype_replace;
    qCInfo(lcEditBack) << "进入上传" << e.fileid;
    emit signalUploadQueued(path, f);
    emit VGlobalConnect::instance()->signalDbselfAddFiles({f}, kBatchBase + (++m_batch), true);
}

void VEditBack::slotTransferDone(const M_db_file &file)
{
    if (!file.isedit)
        return;
    VGlobalResource *res = VGlobalResource::instance();
    if (file.type == 1) {
        const QString path = key(file.localpath);
        if (!res->isEditFile(path))
            return;
        // The copy as downloaded is the base every later save is compared with.
        whenDone(this, QtConcurrent::run(&VUtils::fileSha256, path), [this, path](const QString &digest) {
            VGlobalResource *res = VGlobalResource::instance();
            M_editfile e = res->editFile(path);
            e.baseDigest = digest;
            e.seenDigest = digest;
            res->setEditFile(e);
            watch(path);
            emit signalWatching(path);
        });
        return;
    }
    const QString copy = key(file.localpath);
    const QString path = m_copies.take(copy);
    QFile::remove(copy);
    if (path.isEmpty())
        return;
    const Send s = m_sends.value(path);
    if (s.mode != KeepBoth && res->isEditFile(path)) {
        M_editfile e = res->editFile(path);
        e.baseDigest = s.digest;
        res->setEditFile(e);
    }
    emit signalUploaded(path, s.digest);
    finish(path);
}

// The user gave up an upload of an edited file (its row was cancelled,
// often after it failed): the file is no longer in flight, so the next save
// (or one already waiting) is sent. The content that was not sent stays in
// the edit copy and is offered again with the next change.
void VEditBack::slotTransferCancelled(const M_db_file &file)
{
    if (!file.isedit || file.type == 1)
        return;
    const QString copy = key(file.localpath);
    const QString path = m_copies.take(copy);
    QFile::remove(copy);
    if (!path.isEmpty())
        finish(path);
}

void VEditBack::finish(const QString &path)
{
    Send &s = m_sends[path];
    s.busy = false;
    s.copy.clear();
    if (!s.pending)
        return;
    s.pending = false;
    const Mode next = s.pendingMode;
    s.pendingMode = Ask;
    upload(path, next);
}

void VEditBack::shutdown()
{
    m_shutdown = true;
    for (Check &c : m_checks) {
        if (c.timer)
            c.timer->stop();
    }
    VGlobalResource::instance()->clearWatcher();
}
