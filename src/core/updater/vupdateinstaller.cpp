#include "updater/vupdateinstaller.h"

#include "platform/vupdaterplatform.h"
#include "updater/vupdatedescription.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QThread>

VUpdateInstaller::VUpdateInstaller(const QString &updateDir)
    : m_updateDir(QDir(updateDir).absolutePath())
{
    m_programDir = QFileInfo(m_updateDir).absolutePath();
    m_backupDir = m_updateDir + QLatin1Char('/') + VUpdateManifest::backupFolderName();
}

void VUpdateInstaller::log(const QString &line)
{
    QFile f(m_updateDir + QLatin1Char('/') + VUpdateManifest::logFileName());
    if (f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        f.write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8());
        f.write(" ");
        f.write(line.toUtf8());
        f.write("\n");
    }
}

bool VUpdateInstaller::isInside(const QString &path, const QString &folder) const
{
    const QString f = QDir(folder).canonicalPath();
    return !f.isEmpty() && path.startsWith(f + QLatin1Char('/'));
}

VUpdateInstaller::Result VUpdateInstaller::run()
{
    // One updater at a time per program folder; a second one leaves at once.
    QLockFile lock(m_updateDir + QLatin1Char('/') + VUpdateManifest::lockFileName());
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        m_error = QStringLiteral("另一个升级程序正在运行");
        log(m_error);
        return Locked;
    }
    const Result r = runLocked();
    lock.unlock();
    return r;
}

VUpdateInstaller::Result VUpdateInstaller::runLocked()
{
    log(QStringLiteral("开始升级"));
    if (!readHandOver()) {
        log(QStringLiteral("升级取消：") + m_error);
        return Refused;
    }
    if (QFileInfo::exists(m_programDir + QLatin1Char('/') + VUpdateManifest::packagedMarkerName())) {
        m_error = QStringLiteral("程序由软件包管理，不在原处升级");
        log(QStringLiteral("升级取消：") + m_error);
        startProgram();
        return Refused;
    }

    // The client ends itself in order and names its own process: wait for
    // exactly that one, never for (or against) others of the same name.
    QElapsedTimer waited;
    waited.start();
    while (VUpdaterPlatform::isProcessRunning(m_manifest.pid)) {
        if (waited.elapsed() > m_waitTimeoutMs) {
            m_error = QStringLiteral("客户端（进程 %1）未退出，放弃升级").arg(m_manifest.pid);
            log(m_error);
            return StillRunning;
        }
        QThread::msleep(static_cast<unsigned long>(m_pollMs));
    }

    if (!verifyFiles() || !checkDeletions()) {
        log(QStringLiteral("升级取消：") + m_error);
        startProgram();
        return Refused;
    }
    if (!install() || !applyDeletions()) {
        log(QStringLiteral("升级失败：") + m_error);
        rollback();
        log(QStringLiteral("已恢复原有文件"));
        startProgram();
        return RolledBack;
    }
    cleanUp();
    log(QStringLiteral("升级完成（done）：版本 %1，安装 %2 个文件，删除 %3 个文件")
            .arg(m_manifest.version)
            .arg(m_manifest.files.size())
            .arg(m_manifest.deleteFiles.size()));
    startProgram();
    return Done;
}

bool VUpdateInstaller::readHandOver()
{
    QFile addr(m_updateDir + QLatin1Char('/') + VUpdateManifest::addrFileName());
    if (!addr.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("找不到 addr.txt");
        return false;
    }
    const QString program = QString::fromUtf8(addr.readAll()).trimmed();
    QFile list(m_updateDir + QLatin1Char('/') + VUpdateManifest::fileName());
    if (!list.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("找不到安装清单");
        return false;
    }
    if (!VUpdateManifest::fromJson(list.readAll(), &m_manifest, &m_error))
        return false;
    // The program named must be the one in the folder above this one.
    const QFileInfo pi(program);
    if (program.isEmpty() || program != m_manifest.program || !pi.isFile()
        || QDir(pi.absolutePath()).canonicalPath() != QDir(m_programDir).canonicalPath()
        || !VUpdateDescription::isPlainName(pi.fileName())) {
        m_error = QStringLiteral("addr.txt 指向的程序不在程序目录中：%1").arg(program);
        return false;
    }
    for (const QString &d : qAsConst(m_manifest.deleteFiles)) {
        if (d.compare(pi.fileName(), Qt::CaseInsensitive) == 0) {
            m_error = QStringLiteral("不能删除程序本身");
            return false;
        }
    }
    return true;
}

bool VUpdateInstaller::verifyFiles()
{
    // Checked again here: the files waited in a folder between the client's
    // check and now.
    for (const VUpdateManifest::File &f : qAsConst(m_manifest.files)) {
        const QString path = m_updateDir + QLatin1Char('/') + f.name;
        const QFileInfo fi(path);
        if (!fi.isFile() || fi.isSymLink()) {
            m_error = QStringLiteral("缺少更新文件：%1").arg(f.name);
            return false;
        }
        QString md5, sha;
        if (!VUpdateManifest::hashFile(path, &md5, &sha) || md5 != f.md5 || sha != f.sha256) {
            m_error = QStringLiteral("更新文件校验失败：%1").arg(f.name);
            return false;
        }
        // A link in the program folder would be replaced by the file, not
        // followed; it is refused here rather than found out half-way.
        if (QFileInfo(m_programDir + QLatin1Char('/') + f.name).isSymLink()) {
            m_error = QStringLiteral("目标是链接：%1").arg(f.name);
            return false;
        }
    }
    return true;
}

bool VUpdateInstaller::checkDeletions()
{
    for (const QString &rel : qAsConst(m_manifest.deleteFiles)) {
        const QFileInfo fi(m_programDir + QLatin1Char('/') + rel);
        const QString parent = QDir(fi.absolutePath()).canonicalPath();
        if (parent.isEmpty())
            continue; // its folder is not there: nothing to delete
        // A linked folder on the way must not lead out of the program folder
        // or into the update folder.
        const QString canon = parent + QLatin1Char('/') + fi.fileName();
        if (!isInside(canon, m_programDir) || isInside(canon, m_updateDir)
            || canon == QDir(m_updateDir).canonicalPath()) {
            m_error = QStringLiteral("删除路径不在程序目录中：%1").arg(rel);
            return false;
        }
    }
    return true;
}

bool VUpdateInstaller::install()
{
    QDir(m_backupDir).removeRecursively();
    if (!QDir().mkpath(m_backupDir)) {
        m_error = QStringLiteral("无法创建备份目录");
        return false;
    }
    for (const VUpdateManifest::File &f : qAsConst(m_manifest.files)) {
        const QString src = m_updateDir + QLatin1Char('/') + f.name;
        const QString target = m_programDir + QLatin1Char('/') + f.name;
        const QString staged = m_programDir + QStringLiteral("/.") + f.name + QStringLiteral(".orvel-new");
        const QFileInfo ti(target);
        QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                        | QFileDevice::ReadOther | QFileDevice::ReadUser | QFileDevice::WriteUser;
        if (f.name == QFileInfo(m_manifest.program).fileName())
            mode |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther | QFileDevice::ExeUser;
        Step step{target, QString()};
        if (ti.exists()) {
            // The replaced file keeps its mode (the program stays executable),
            // and a copy of it waits in the backup folder.
            mode = QFile::permissions(target);
            step.backup = m_backupDir + QLatin1Char('/') + f.name;
            if (!ti.isFile() || !QFile::copy(target, step.backup)) {
                m_error = QStringLiteral("无法备份：%1").arg(f.name);
                return false;
            }
        }
        QFile::remove(staged);
        if (!QFile::copy(src, staged) || !QFile::setPermissions(staged, mode)) {
            QFile::remove(staged);
            m_error = QStringLiteral("无法写入：%1").arg(f.name);
            return false;
        }
        if (!VUpdaterPlatform::replaceFile(staged, target)) {
            QFile::remove(staged);
            m_error = QStringLiteral("无法替换：%1").arg(f.name);
            return false;
        }
        m_steps << step;
        log(QStringLiteral("已安装 %1").arg(f.name));
    }
    return true;
}

bool VUpdateInstaller::applyDeletions()
{
    for (const QString &rel : qAsConst(m_manifest.deleteFiles)) {
        const QString path = m_programDir + QLatin1Char('/') + rel;
        const QFileInfo fi(path);
        if (!fi.exists() && !fi.isSymLink())
            continue;
        if (fi.isDir() && !fi.isSymLink()) {
            log(QStringLiteral("跳过目录 %1").arg(rel));
            continue;
        }
        const QString backup = m_backupDir + QStringLiteral("/deleted/") + rel;
        QDir().mkpath(QFileInfo(backup).absolutePath());
        if (!VUpdaterPlatform::replaceFile(path, backup)) {
            m_error = QStringLiteral("无法删除：%1").arg(rel);
            return false;
        }
        // Rolled back by moving it back where it was.
        m_steps << Step{path, backup};
        log(QStringLiteral("已删除 %1").arg(rel));
    }
    return true;
}

void VUpdateInstaller::rollback()
{
    for (int i = m_steps.size() - 1; i >= 0; --i) {
        const Step &s = m_steps.at(i);
        if (s.backup.isEmpty()) {
            QFile::remove(s.target);
        } else if (!VUpdaterPlatform::replaceFile(s.backup, s.target)) {
            log(QStringLiteral("无法恢复 %1").arg(s.target));
        }
    }
    m_steps.clear();
    QDir(m_backupDir).removeRecursively();
}

void VUpdateInstaller::cleanUp()
{
    QDir(m_backupDir).removeRecursively();
    for (const VUpdateManifest::File &f : qAsConst(m_manifest.files))
        QFile::remove(m_updateDir + QLatin1Char('/') + f.name);
    QFile::remove(m_updateDir + QLatin1Char('/') + VUpdateManifest::fileName());
    QFile::remove(m_updateDir + QLatin1Char('/') + VUpdateManifest::addrFileName());
}

bool VUpdateInstaller::startProgram()
{
    if (m_manifest.program.isEmpty())
        return false;
    qint64 pid = 0;
    const bool ok = QProcess::startDetached(m_manifest.program, m_manifest.arguments, m_programDir, &pid);
    log(ok ? QStringLiteral("已启动 %1（进程 %2）").arg(m_manifest.program).arg(pid)
           : QStringLiteral("无法启动 %1").arg(m_manifest.program));
    return ok;
}
