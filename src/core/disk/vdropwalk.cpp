#include "disk/vdropwalk.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

namespace {

QString joinServer(const QString &folder, const QString &name)
{
    QString f = folder;
    while (f.endsWith(QLatin1Char('/')))
        f.chop(1);
    return f + QLatin1Char('/') + name;
}

QString serverKey(QString p)
{
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p.toLower();
}

void walkDir(const QFileInfo &dir, const QString &serverFolder, VDropWalk::Plan &plan, QSet<QString> &seen)
{
    const QString canon = dir.canonicalFilePath();
    if (canon.isEmpty() || seen.contains(canon)) {
        ++plan.skipped; // a loop, or gone meanwhile
        return;
    }
    seen.insert(canon);
    plan.dirs << serverFolder;
    QDir d(dir.absoluteFilePath());
    const QFileInfoList entries = d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                  QDir::Name | QDir::DirsLast);
    for (const QFileInfo &e : entries) {
        if (e.isDir())
            walkDir(e, joinServer(serverFolder, e.fileName()), plan, seen);
        else if (e.isFile() && e.isReadable())
            plan.files << VDropWalk::uploadRecord(e.absoluteFilePath(), e.fileName(), e.size(), serverFolder);
        else
            ++plan.skipped;
    }
}

} // namespace

QStringList VDropWalk::localPaths(const QList<QUrl> &urls)
{
    QStringList out;
    for (const QUrl &u : urls) {
        if (!u.isLocalFile())
            continue;
        const QString p = u.toLocalFile();
        if (!p.isEmpty())
            out << p;
    }
    return out;
}

M_db_file VDropWalk::uploadRecord(const QString &localPath, const QString &name, qint64 size,
                                  const QString &serverFolder)
{
    M_db_file f;
    f.type = 2;
    f.filename = name;
    f.localpath = localPath;
    f.serverpath = serverFolder;
    f.filesize = size;
    return f;
}

VDropWalk::Plan VDropWalk::walk(const QStringList &localPaths, const QString &target)
{
    Plan plan;
    plan.target = target;
    QSet<QString> seen;
    for (const QString &p : localPaths) {
        const QFileInfo fi(p);
        if (fi.isDir())
            walkDir(fi, joinServer(target, fi.fileName()), plan, seen);
        else if (fi.isFile() && fi.isReadable())
            plan.files << uploadRecord(fi.absoluteFilePath(), fi.fileName(), fi.size(), target);
        else
            ++plan.skipped;
    }
    return plan;
}

QList<M_db_file> VDropWalk::filesInCreated(const Plan &plan, const QStringList &createdDirs)
{
    QSet<QString> ok;
    ok.insert(serverKey(plan.target));
    for (const QString &d : createdDirs)
        ok.insert(serverKey(d));
    QList<M_db_file> out;
    for (const M_db_file &f : plan.files) {
        if (ok.contains(serverKey(f.serverpath)))
            out << f;
    }
    return out;
}
