#include "disk/vfilekind.h"

#include <QHash>

namespace VFileKind {

QString iconName(const QString &extension, bool isdir)
{
    if (isdir)
        return QStringLiteral("folder");
    static const QHash<QString, QString> kinds = [] {
        QHash<QString, QString> k;
        auto add = [&k](const char *kind, std::initializer_list<const char *> exts) {
            for (const char *e : exts)
                k.insert(QString::fromLatin1(e), QString::fromLatin1(kind));
        };
        add("docx", {"doc", "docx", "docm", "dot", "dotx", "dotm", "odt", "rtf", "wps"});
        add("xlsx", {"xls", "xlsx", "xlsm", "xlsb", "csv", "ods", "et"});
        add("pptx", {"ppt", "pptx", "pptm", "pps", "ppsx", "pot", "potx", "odp", "dps"});
        add("html", {"html", "htm", "xhtml", "mht"});
        add("pdf", {"pdf"});
        add("txt", {"txt", "md", "log", "ini", "json", "xml"});
        add("image", {"jpg", "jpeg", "png", "gif", "bmp", "webp", "svg", "tif", "tiff", "ico"});
        add("video", {"mp4", "avi", "mkv", "mov", "wmv", "flv", "rmvb", "mpg", "mpeg", "m4v", "webm"});
        add("audio", {"mp3", "wav", "wma", "flac", "aac", "ogg", "m4a", "ape"});
        add("zip", {"zip", "rar", "7z", "tar", "gz", "bz2", "xz"});
        add("exe", {"exe", "msi", "apk", "dmg", "deb", "rpm", "bat", "sh"});
        add("torrent", {"torrent"});
        return k;
    }();
    if (extension.isEmpty())
        return QStringLiteral("unknow");
    return kinds.value(extension.toLower(), QStringLiteral("other"));
}

QString iconPath(const QString &extension, bool isdir, bool large)
{
    return QStringLiteral(":/images/%1/%2.png")
        .arg(large ? QStringLiteral("max") : QStringLiteral("min"), iconName(extension, isdir));
}

} // namespace VFileKind
