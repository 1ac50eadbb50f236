#include "update/vupdatesession.h"

#include "request/vnetworkpolicy.h"
#include "transfer/vdownloadfile.h"
#include "update/vupdatepolicy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QSaveFile>
#include <QThread>
#include <QtConcurrent>

Q_LOGGING_CATEGORY(lcUpdate, "orvel.update")

VUpdateSession::VUpdateSession(QObject *parent)
    : QObject(parent),
      m_programPath(QCoreApplication::applicationFilePath()),
      m_pid(QCoreApplication::applicationPid()),
      m_arguments(QCoreApplication::arguments().mid(1))
{
    connect(&m_hashing, &QFutureWatcher<Hashes>::finished, this, &VUpdateSession::onHashed);
}

VUpdateSession::~VUpdateSession()
{
    m_state = Ready;
    stopWorker();
    m_hashing.waitForFinished();
}

void VUpdateSession::setProgramPath(const QString &path)
{
    m_programPath = QFileInfo(path).absoluteFilePath();
}

QString VUpdateSession::programDir() const
{
    return QFileInfo(m_programPath).absolutePath();
}

QString VUpdateSession::updateDir() const
{
    return programDir() + QLatin1Char('/') + VUpdateManifest::updateFolderName();
}

QString VUpdateSession::updaterPath() const
{
    return updateDir() + QLatin1Char('/') + VUpdateManifest::updaterFileName();
}

bool VUpdateSession::setDescription(const QJsonObject &o)
{
    // The running update keeps the list it started with.
    if (m_state == Running)
        return false;
    // A new description starts a new update: what was verified belongs to the old one.
    m_verified.clear();
    m_index = 0;
    setState(Ready);
    m_description = VUpdateDescription::parse(o, QFileInfo(m_programPath).fileName());
    m_refusal = m_description.error;
    if (m_refusal.isEmpty()) {
        const bool otherPlatform =
            !m_description.platform.isEmpty()
            && m_description.platform.compare(VUpdateDescription::currentPlatform(), Qt::CaseInsensitive) != 0;
        if (VUpdatePolicy::isManagedInstall(programDir()) || VNetworkPolicy::insecure() || otherPlatform)
            m_refusal = QStringLiteral("此安装不能在原处升级，请下载安装最新客户端");
    }
    if (!m_refusal.isEmpty())
        qCWarning(lcUpdate) << "更新描述不可用" << m_refusal;
    return m_refusal.isEmpty();
}

bool VUpdateSession::updaterLockHeld() const
{
    const QString path = updateDir() + QLatin1Char('/') + VUpdateManifest::lockFileName();
    if (!QFileInfo::exists(path))
        return false;
    QLockFile lock(path);
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return true;
    lock.unlock();
    return false;
}

void VUpdateSession::emptyUpdateFolder()
{
    // Everything goes but the updater itself and its log (and the lock of an
    // updater that might run, which start() refused already).
    const QStringList keep{VUpdateManifest::updaterFileName(), VUpdateManifest::logFileName(),
                           VUpdateManifest::lockFileName()};
    QDir dir(updateDir());
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries) {
        if (keep.contains(e.fileName()))
            continue;
        if (e.isDir() && !e.isSymLink())
            QDir(e.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(e.absoluteFilePath());
    }
}

bool VUpdateSession::start(QString *why)
{
    auto refuse = [why](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    if (m_state == Running)
        return refuse(QStringLiteral("正在更新"));
    if (!m_refusal.isEmpty() || !m_description.hasVersion())
        return refuse(m_refusal.isEmpty() ? QStringLiteral("更新版本文件获取失败") : m_refusal);
    if (updaterLockHeld())
        return refuse(QStringLiteral("升级工具正在运行，请稍后再试"));
    m_verified.clear();
    m_index = 0;
    setPercent(0);
    setState(Running);
    if (m_workerBusy) {
        // The last run still winds down (after an error): start over once it
        // has let go of its file.
        m_pendingStart = true;
        return true;
    }
    emptyUpdateFolder();
    if (!QDir().mkpath(updateDir())) {
        fail(QStringLiteral("无法创建更新目录"));
        return refuse(QStringLiteral("无法创建更新目录"));
    }
    startNext();
    return true;
}

void VUpdateSession::ensureWorker()
{
    if (m_worker)
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("update-download"));
    m_worker = new VDownloadFile;
    m_worker->setSuffixId(QStringLiteral("update"));
    m_worker->moveToThread(m_thread);
    connect(m_worker, &VDownloadFile::signalReplyError, this, &VUpdateSession::slotReplyError);
    connect(m_worker, &VDownloadFile::signalDownloadProcess, this, &VUpdateSession::onDownloadProcess);
    connect(m_worker, &VDownloadFile::signalReplyFinished, this, &VUpdateSession::slotReplyFinished);
    connect(m_worker, &VDownloadFile::signalIsStop, this, [this] {
        m_workerBusy = false;
        if (m_pendingStart && m_state == Running) {
            m_pendingStart = false;
            emptyUpdateFolder();
            QDir().mkpath(updateDir());
            startNext();
        }
    });
    connect(this, &VUpdateSession::signalRun, m_worker, &VDownloadFile::run);
    connect(this, &VUpdateSession::signalStopWork, m_worker, &VDownloadFile::stopWorkByThread);
    m_thread->start();
}

void VUpdateSession::stopWorker()
{
    if (!m_thread)
        return;
    // The stop reaches the worker's own loop first; the quit queued behind it
    // ends the thread once the download has let go.
    emit signalStopWork();
    QThread *t = m_thread;
    QMetaObject::invokeMethod(m_worker, [t] { t->quit(); }, Qt::QueuedConnection);
    m_thread->wait();
    delete m_worker;
    delete m_thread;
    m_worker = nullptr;
    m_thread = nullptr;
    m_workerBusy = false;
}

void VUpdateSession::startNext()
{
    if (m_state != Running)
        return;
    if (m_index >= m_description.files.size()) {
        setPercent(100);
        setState(Finished);
        return;
    }
    ensureWorker();
    const VUpdateFileEntry &task = m_description.files.at(m_index);
    ++m_index;
    m_worker->setUrl(task.source);
    m_worker->setLocalPath(updateDir() + QLatin1Char('/') + task.name);
    m_worker->setAutoRename(true);
    m_workerBusy = true;
    emit signalRun();
}

void VUpdateSession::slotReplyFinished(const QString &path)
{
    if (m_state != Running || m_index == 0)
        return;
    // The worker may have taken a name from the server: what it stored is
    // what gets checked, and it must lie directly in the update folder.
    const QFileInfo fi(path);
    const QString folder = QDir(updateDir()).canonicalPath();
    if (path.isEmpty() || folder.isEmpty() || QDir(fi.absolutePath()).canonicalPath() != folder
        || !VUpdateDescription::isPlainName(fi.fileName()) || VUpdateDescription::isReservedName(fi.fileName())
        || fi.isSymLink()) {
        qCWarning(lcUpdate) << "更新文件保存位置不合法" << path;
        fail(QStringLiteral("更新文件保存位置不合法"));
        return;
    }
    const QString file = fi.absoluteFilePath();
    // The digest is read from the file on the pool, not on this thread.
    m_hashing.setFuture(QtConcurrent::run([file] {
        Hashes h;
        h.path = file;
        h.ok = VUpdateManifest::hashFile(file, &h.md5, &h.sha256);
        return h;
    }));
}

void VUpdateSession::onHashed()
{
    if (m_state != Running || m_index == 0)
        return;
    const Hashes h = m_hashing.result();
    const VUpdateFileEntry &task = m_description.files.at(m_index - 1);
    if (!h.ok) {
        fail(QStringLiteral("更新文件读取失败"));
        return;
    }
    if (h.md5.compare(task.md5, Qt::CaseInsensitive) != 0) {
        qCWarning(lcUpdate) << "md5 不符" << task.installName << h.md5 << task.md5;
        QFile::remove(h.path);
        fail(QStringLiteral("md5校验错误，更新失败"));
        return;
    }
    // The installed name is the description's ("rename", else the URL's),
    // whatever the server called the file.
    const QString target = updateDir() + QLatin1Char('/') + task.installName;
    if (QFileInfo(h.path).fileName() != task.installName) {
        if (QFileInfo::exists(target) || !QFile::rename(h.path, target)) {
            QFile::remove(h.path);
            fail(QStringLiteral("文件重命名失败"));
            return;
        }
    }
    m_verified << VUpdateManifest::File{task.installName, h.md5, h.sha256};
    emit signalFileVerified(task.installName);
    startNext();
}

void VUpdateSession::onDownloadProcess(qint64 received, qint64 total)
{
    const qint64 count = m_description.files.size();
    if (m_state != Running || count == 0 || m_index == 0)
        return;
    // An empty file reports 0 of 0: count it as done rather than divide.
    qint64 p = total > 0 ? ((m_index - 1) * total + received) * 100 / (count * total) : m_index * 100 / count;
    setPercent(int(qBound<qint64>(0, p, 100)));
}

void VUpdateSession::slotReplyError(const QString &message)
{
    if (m_state != Running)
        return;
    fail(message);
}

void VUpdateSession::cancel()
{
    if (m_state != Running)
        return;
    m_pendingStart = false;
    setState(Ready);
    if (m_workerBusy)
        emit signalStopWork();
}

void VUpdateSession::fail(const QString &message)
{
    setState(Ready);
    emit signalReplyError(message);
}

void VUpdateSession::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit signalStateChanged(int(s));
}

void VUpdateSession::setPercent(int p)
{
    m_percent = p;
    emit signalDownloadProcess(p, 100);
}

QString VUpdateSession::handOver()
{
    if (m_state != Finished)
        return QStringLiteral("更新尚未完成");
    const QFileInfo updater(updaterPath());
    if (!updater.isFile() || !updater.isExecutable())
        return QStringLiteral("升级失败，未找到升级工具");
    if (updaterLockHeld())
        return QStringLiteral("升级工具正在运行，请稍后再试");

    VUpdateManifest m;
    m.program = m_programPath;
    m.pid = m_pid;
    m.arguments = m_arguments;
    m.version = m_description.version;
    m.files = m_verified;
    m.deleteFiles = m_description.deleteFiles;
    auto write = [](const QString &path, const QByteArray &bytes) {
        QSaveFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
    };
    if (!write(updateDir() + QLatin1Char('/') + VUpdateManifest::fileName(), m.toJson())
        || !write(updateDir() + QLatin1Char('/') + VUpdateManifest::addrFileName(), m_programPath.toUtf8()))
        return QStringLiteral("升级文件写入失败");
    if (!QProcess::startDetached(updater.absoluteFilePath(), QStringList(), updateDir()))
        return QStringLiteral("升级失败，未找到升级工具");
    qCInfo(lcUpdate) << "已交给升级工具" << updater.absoluteFilePath() << "版本" << m.version;
    return QString();
}
