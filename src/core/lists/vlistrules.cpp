#include "lists/vlistrules.h"

#include "utils/vutils.h"

#include <QStringList>

namespace VListRules {

QString refusal(Op op, bool deleted, bool isdir)
{
    if (deleted) {
        switch (op) {
        case Preview: return QStringLiteral("文件已删除，无法预览");
        case Download: return QStringLiteral("文件已删除，无法下载");
        case Edit: return QStringLiteral("文件已删除，无法编辑");
        }
    }
    if (isdir) {
        if (op == Preview)
            return QStringLiteral("文件夹不支持在线预览");
        if (op == Edit)
            return QStringLiteral("文件夹不支持本地编辑");
    }
    return QString();
}

QString displayPath(const QString &fullpath)
{
    QStringList segs = fullpath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (segs.size() >= 2 && segs.at(1).compare(QLatin1String("sharedisk"), Qt::CaseInsensitive) == 0)
        segs = segs.mid(2);
    if (segs.isEmpty())
        return QStringLiteral("/");
    return QLatin1Char('/') + segs.join(QLatin1Char('/')) + QLatin1Char('/');
}

QString containingFolder(const QString &fullpath)
{
    const QString parent = VUtils::parentPath(fullpath);
    return displayPath(parent.isEmpty() ? QStringLiteral("/") : parent);
}

QString linkText(const QString &bankuai, const QString &fullpath)
{
    const QString section = bankuai.isEmpty() || bankuai.compare(QLatin1String("sharedisk"), Qt::CaseInsensitive) == 0
        ? QStringLiteral("公共网盘")
        : bankuai;
    return section + containingFolder(fullpath);
}

M_fileinfo fileOf(const M_api_visit &visit)
{
    M_fileinfo f;
    f.id = visit.fileid;
    f.filename = visit.filename;
    f.fileext = visit.fileext;
    f.fullpath = visit.fullpath;
    f.bankuai = visit.bankuai;
    f.isdir = visit.isdir;
    f.filetype = QString::number(visit.filecategory);
    return f;
}

M_fileinfo fileOf(const M_api_fav_info &fav)
{
    M_fileinfo f;
    f.id = fav.fileid;
    f.filename = fav.filename;
    f.fileext = fav.fileext;
    f.fullpath = fav.filepath;
    f.bankuai = QStringLiteral("sharedisk");
    f.isdir = fav.isdir;
    f.filetype = QString::number(fav.filecategory);
    return f;
}

} // namespace VListRules
