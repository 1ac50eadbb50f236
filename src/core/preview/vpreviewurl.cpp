#include "preview/vpreviewurl.h"

#include <QRegularExpression>
#include <QUrl>

#include "disk/vpermission.h"
#include "utils/vutils.h"

namespace VPreviewUrl {

namespace {

QString pct(const QString &s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }

QString withoutSlash(QString s)
{
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s;
}

QString withSlash(const QString &s) { return withoutSlash(s) + QLatin1Char('/'); }

QString serviceUrl(const Bases &b, const M_info_file &f, const QString &filetype)
{
    const QString target = withoutSlash(b.download)
                           + QStringLiteral("/web/preview/file?fileid=%1&tk=%2").arg(f.id, b.token);
    return withSlash(b.preview) + QStringLiteral("preview/?url=") + pct(target) + QStringLiteral("&filetype=")
           + pct(filetype) + QStringLiteral("&title=") + pct(f.filename);
}

} // namespace

QString extensionOf(const M_info_file &file)
{
    QString ext = file.fileext.trimmed();
    if (ext.isEmpty()) {
        const int dot = file.filename.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0)
            ext = file.filename.mid(dot + 1);
    }
    while (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return ext.toLower();
}

Result build(const M_info_file &f, const Bases &b)
{
    Result r;
    if (f.filecategory == 3) {
        r.url = serviceUrl(b, f, QStringLiteral("image"));
        return r;
    }
    if (f.filecategory != 4)
        return r;
    const QString ext = extensionOf(f);
    const QString path = VUtils::viewerPath(ext);
    if (path.isEmpty()) {
        if (ext == QLatin1String("txt"))
            r.url = serviceUrl(b, f, QStringLiteral("txt"));
        return r;
    }
    const bool sheet = VUtils::excelExtensions().contains(ext);
    if (f.filesize > (sheet ? kSheetLimit : kOtherLimit)) {
        r.error = sheet ? QStringLiteral("文件超过5M，不支持在线预览，请下载后打开")
                        : QStringLiteral("文件超过10M，不支持在线预览，请下载后打开");
        return r;
    }
    const QString src = withoutSlash(b.api) + QStringLiteral("/v1/wp/wopi/files/") + f.id + QStringLiteral("/review");
    r.url = withoutSlash(b.docs) + path + QStringLiteral("WOPISrc=") + pct(src) + QStringLiteral("&access_token=")
            + pct(b.token) + QStringLiteral("&ui=zh-CN");
    return r;
}

bool canPreview(const QString &extension, int category, const QString &permissioncode, bool isadmin)
{
    if (!isadmin && !VPermission::allows(permissioncode, VPermission::Preview))
        return false;
    const QString ext = extension.toLower();
    return category == 3 || !VUtils::viewerPath(ext).isEmpty() || ext == QLatin1String("txt");
}

QString masked(const QString &url)
{
    // The token travels as "tk" (also percent-encoded inside "url") and as
    // "access_token".
    static const QRegularExpression re(QStringLiteral("((?:tk|access_token)(?:=|%3D))[^&%]*"),
                                       QRegularExpression::CaseInsensitiveOption);
    QString out = url;
    out.replace(re, QStringLiteral("\\1***"));
    return out;
}

} // namespace VPreviewUrl
