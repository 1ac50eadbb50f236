#include "updater/vupdatedescription.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QUrl>
#include <QVector>

namespace {

const char *const kFallbackError = "更新版本文件获取失败";

QString textOf(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString() : QString();
}

QVector<qulonglong> versionSegments(const QString &text, bool *ok)
{
    QVector<qulonglong> out;
    *ok = false;
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 64)
        return out;
    const QStringList parts = t.split(QLatin1Char('.'));
    for (const QString &p : parts) {
        if (p.isEmpty() || p.size() > 9)
            return {};
        for (const QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        out << p.toULongLong();
    }
    while (out.size() > 1 && out.last() == 0)
        out.removeLast();
    *ok = true;
    return out;
}

} // namespace

QString VUpdateDescription::currentPlatform()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macos");
#else
    return QStringLiteral("linux");
#endif
}

bool VUpdateDescription::isPlainName(const QString &name)
{
    if (name.isEmpty() || name.size() > 255 || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.startsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '))
        || name.startsWith(QLatin1Char(' ')))
        return false;
    for (const QChar c : name) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            return false;
        switch (u) {
        case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return false;
        default:
            break;
        }
        // No lone surrogates or other characters that do not survive a round
        // trip through the file system's encoding.
        if (c.isSurrogate() || c.category() == QChar::Other_NotAssigned)
            return false;
    }
    return true;
}

bool VUpdateDescription::isReservedName(const QString &name)
{
    static const QStringList reserved{
        QStringLiteral("autoupdate"), QStringLiteral("orveltool"), QStringLiteral("orveltool.exe"),
        QStringLiteral("addr.txt"),   QStringLiteral("install.json"), QStringLiteral("update.log"),
        QStringLiteral("orveltool.lock"), QStringLiteral("backup")};
    return reserved.contains(name.toLower());
}

QString VUpdateDescription::cleanRelativePath(const QString &path)
{
    if (path.isEmpty() || path.size() > 1024 || path.startsWith(QLatin1Char('/')))
        return QString();
    const QStringList segs = path.split(QLatin1Char('/'));
    for (const QString &s : segs) {
        // The same rules as a file name, also for the folders on the way.
        if (!isPlainName(s))
            return QString();
    }
    // Never the update folder or anything in it; never the user's data,
    // which lives outside the program folder and cannot be named from here.
    if (segs.first().compare(QLatin1String("AutoUpdate"), Qt::CaseInsensitive) == 0)
        return QString();
    return segs.join(QLatin1Char('/'));
}

bool VUpdateDescription::isMd5(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    return hex.match(text).hasMatch();
}

bool VUpdateDescription::isVersion(const QString &text)
{
    bool ok = false;
    versionSegments(text, &ok);
    return ok;
}

int VUpdateDescription::compareVersions(const QString &a, const QString &b, bool *ok)
{
    bool okA = false, okB = false;
    const QVector<qulonglong> va = versionSegments(a, &okA);
    const QVector<qulonglong> vb = versionSegments(b, &okB);
    if (ok)
        *ok = okA && okB;
    if (!okA || !okB)
        return 0;
    const int n = qMax(va.size(), vb.size());
    for (int i = 0; i < n; ++i) {
        const qulonglong x = i < va.size() ? va.at(i) : 0;
        const qulonglong y = i < vb.size() ? vb.at(i) : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

VUpdateDescription VUpdateDescription::parse(const QByteArray &json, const QString &programName)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        VUpdateDescription d;
        d.error = QString::fromUtf8(kFallbackError);
        return d;
    }
    return parse(doc.object(), programName);
}

VUpdateDescription VUpdateDescription::parse(const QJsonObject &o, const QString &programName)
{
    VUpdateDescription d;
    d.version = textOf(o, "version").trimmed();
    d.low = textOf(o, "low").trimmed();
    d.memo = textOf(o, "memo");
    d.platform = textOf(o, "platform").trimmed();
    // A transport failure arrives as the envelope, with "Msg" (not "msg").
    d.msg = textOf(o, "msg");
    if (d.msg.isEmpty())
        d.msg = textOf(o, "Msg");

    auto refuse = [&d](const QString &why) {
        if (d.error.isEmpty())
            d.error = why;
    };

    if (d.version.isEmpty()) {
        refuse(d.msg.isEmpty() ? QString::fromUtf8(kFallbackError) : d.msg);
        return d;
    }
    if (!isVersion(d.version) || (!d.low.isEmpty() && !isVersion(d.low))) {
        refuse(QString::fromUtf8(kFallbackError));
        return d;
    }

    const QJsonValue files = o.value(QLatin1String("files"));
    if (!files.isUndefined() && !files.isNull() && !files.isArray())
        refuse(QStringLiteral("更新文件列表格式错误"));
    QStringList taken; // install names, without case (Windows folders ignore it)
    for (const QJsonValue &v : files.toArray()) {
        if (!v.isObject()) {
            refuse(QStringLiteral("更新文件列表格式错误"));
            continue;
        }
        const QJsonObject f = v.toObject();
        VUpdateFileEntry e;
        e.url = textOf(f, "url");
        e.filepath = textOf(f, "filepath");
        e.rename = textOf(f, "rename");
        const QString md5 = textOf(f, "md5").trimmed();
        if (!isMd5(md5)) {
            refuse(QStringLiteral("更新文件缺少有效的md5"));
            continue;
        }
        e.md5 = md5.toLower();
        e.source = e.url + QLatin1Char('/') + e.filepath;
        const QUrl url(e.source, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (e.url.isEmpty() || !url.isValid() || url.host().isEmpty()
            || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            refuse(QStringLiteral("更新文件地址不合法"));
            continue;
        }
        // The stored name is the last segment of the decoded path, whichever
        // separator an encoded "%2F" or "%5C" hides.
        QString path = url.path(QUrl::FullyDecoded);
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        e.name = path.section(QLatin1Char('/'), -1);
        if (!isPlainName(e.name) || isReservedName(e.name)) {
            refuse(QStringLiteral("更新文件名不合法"));
            continue;
        }
        if (!e.rename.isEmpty() && (!isPlainName(e.rename) || isReservedName(e.rename))) {
            refuse(QStringLiteral("更新文件名不合法"));
            continue;
        }
        e.installName = e.rename.isEmpty() ? e.name : e.rename;
        // Two entries stored or installed under one name would overwrite
        // each other in the update folder.
        for (const QString &n : {e.name.toLower(), e.installName.toLower()}) {
            if (taken.contains(n))
                refuse(QStringLiteral("更新文件重名"));
        }
        taken << e.name.toLower();
        if (e.installName.compare(e.name, Qt::CaseInsensitive) != 0)
            taken << e.installName.toLower();
        d.files << e;
    }

    const QJsonValue dels = o.value(QLatin1String("deleteFiles"));
    if (!dels.isUndefined() && !dels.isNull() && !dels.isArray())
        refuse(QStringLiteral("删除文件列表格式错误"));
    for (const QJsonValue &v : dels.toArray()) {
        const QString raw = v.isObject() ? textOf(v.toObject(), "path") : QString();
        const QString clean = cleanRelativePath(raw);
        if (clean.isEmpty()) {
            refuse(QStringLiteral("删除文件路径不合法"));
            continue;
        }
        if (!programName.isEmpty() && clean.compare(programName, Qt::CaseInsensitive) == 0) {
            refuse(QStringLiteral("删除文件路径不合法"));
            continue;
        }
        for (const VUpdateFileEntry &e : qAsConst(d.files)) {
            // Deleting what this update installs would undo it.
            if (clean.compare(e.installName, Qt::CaseInsensitive) == 0)
                refuse(QStringLiteral("删除文件路径不合法"));
        }
        d.deleteFiles << clean;
    }
    return d;
}
