#include "disk/vdownloadplan.h"

#include "disk/vpermission.h"
#include "utils/vfilename.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

bool VDownloadPlan::isInside(const QString &path, const QString &folder)
{
    const QString f = QDir::cleanPath(QDir(folder).absolutePath());
    const QString p = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    return p.startsWith(f + QLatin1Char('/')) && p.size() > f.size() + 1;
}

M_db_file VDownloadPlan::fileRecord(const M_fileinfo &item, const QString &localFolder)
{
    M_db_file f;
    f.type = 1;
    f.status = 88;
    f.fileid = item.id;
    f.filename = item.filename;
    f.serverpath = item.fullpath;
    f.filesize = item.filesize;
    // A name that cleans to nothing is refused: the record keeps no local path.
    const QString name = cleanFileName(item.filename);
    if (!name.isEmpty())
        f.localpath = QDir::cleanPath(localFolder) + QLatin1Char('/') + name;
    return f;
}

VDownloadPlan::Result VDownloadPlan::folderRecords(const M_fileinfo &folder, const QJsonArray &children,
                                                   const QString &localFolder)
{
    Result r;
    const QString base = QDir::cleanPath(localFolder);
    const QString folderName = cleanFileName(folder.filename);
    const QString root = base + QLatin1Char('/') + folderName;
    QString prefix = folder.fullpath;
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    for (const QJsonValue &v : children) {
        const M_fileinfo item = M_fileinfo::fromDiskList(v.toObject());
        if (item.isdir)
            continue;
        if (!VPermission::itemAllows(item, VPermission::Download)) {
            ++r.noRight;
            continue;
        }
        // The folders between the downloaded folder and the file.
        QString rel = item.fullpath;
        if (rel.startsWith(prefix + QLatin1Char('/'), Qt::CaseInsensitive))
            rel = rel.mid(prefix.size() + 1);
        else
            rel = item.filename;
        QStringList segs = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (!segs.isEmpty())
            segs.removeLast();
        segs << item.filename;
        QString local = root;
        bool refused = folderName.isEmpty();
        for (const QString &s : qAsConst(segs)) {
            const QString c = cleanFileName(s);
            refused = refused || c.isEmpty();
            local += QLatin1Char('/') + c;
        }
        if (refused || !isInside(local, base)) {
            ++r.refused;
            continue;
        }
        M_db_file f = fileRecord(item, base);
        f.localpath = local;
        r.files << f;
    }
    return r;
}
