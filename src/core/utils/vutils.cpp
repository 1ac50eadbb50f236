#include "utils/vutils.h"
#include "updater/vupdatedescription.h"

#include "context/vconfigs.h"
#include "platform/vplatform.h"
#include "utils/vjsonrepair.h"
#include "utils/vjsonsort.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLocale>
#include <QLoggingCategory>
#include <QScriptEngine>
#include <QScriptValue>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <QUuid>
#include <QVersionNumber>

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <vector>

Q_LOGGING_CATEGORY(lcUtils, "orvel.utils")

VUtils::VUtils(QObject *parent) : QObject(parent) {}

VUtils::~VUtils()
{
    delete engine;
}

VUtils *VUtils::instance()
{
    static VUtils self;
    return &self;
}

QString VUtils::dataDir()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    // Without an application name Qt already returns the parent folder.
    if (!QCoreApplication::applicationName().isEmpty())
        base = QFileInfo(base).absolutePath();
    QString dir = QDir::cleanPath(base) + QStringLiteral("/OrvelNetdisk");
    const int edition = VConfigs::instance()->edition();
    if (edition == -1)
        dir += QStringLiteral("(alpha)");
    else if (edition == 1)
        dir += QStringLiteral("(beta)");
    return dir;
}

// ---- crypto script -------------------------------------------------------

QString VUtils::callScript(const char *function, const QString &text)
{
    if (scriptText.isEmpty()) {
        scriptText = VConfigs::instance()->script();
        if (!scriptText.isEmpty()) {
            if (!engine)
                engine = new QScriptEngine(this);
            engine->evaluate(scriptText);
            if (engine->hasUncaughtException()) {
                qCWarning(lcUtils) << "crypto script failed:" << engine->uncaughtException().toString();
                engine->clearExceptions();
            }
        }
    }
    if (!engine)
        return QString();
    QScriptValue fn = engine->globalObject().property(QLatin1String(function));
    if (!fn.isFunction())
        return QString();
    const QScriptValue result = fn.call(QScriptValue(), QScriptValueList() << QScriptValue(text));
    if (engine->hasUncaughtException()) {
        // Malformed cipher text: nothing usable, and nothing to report.
        engine->clearExceptions();
        return QString();
    }
    if (result.isUndefined() || result.isNull() || result.isError())
        return QString();
    return result.toString();
}

QString VUtils::toEncrypt(const QString &text) { return callScript("toEncrypt", text); }
QString VUtils::toDecrypt(const QString &text) { return callScript("toDecrypt", text); }

// ---- digests -------------------------------------------------------------

namespace {
constexpr qint64 kDigestChunk = 10485760;

QString fileDigest(const QString &path, const EVP_MD *md)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcUtils) << "file open error.";
        return QString();
    }
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1)
        return QString();
    // One reused buffer: memory stays at one chunk whatever the file size.
    const qint64 chunk = std::min<qint64>(kDigestChunk, std::max<qint64>(file.size(), 4096));
    std::unique_ptr<char[]> buf(new char[static_cast<size_t>(chunk)]);
    for (;;) {
        const qint64 n = file.read(buf.get(), chunk);
        if (n < 0) {
            qCWarning(lcUtils) << "file read error.";
            return QString();
        }
        if (n == 0)
            break;
        EVP_DigestUpdate(ctx.get(), buf.get(), static_cast<size_t>(n));
    }
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(ctx.get(), out, &len) != 1)
        return QString();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(out), static_cast<int>(len)).toHex());
}
} // namespace

QString VUtils::fileMd5(const QString &path) { return fileDigest(path, EVP_md5()); }
QString VUtils::fileSha256(const QString &path) { return fileDigest(path, EVP_sha256()); }

// ---- formatting ----------------------------------------------------------

QString VUtils::formatSize(qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("-");
    static const char *const units[] = {"B", "KB", "MB", "GB", "TB"};
    // Hundredths of the unit, in 128 bits' worth of headroom: bytes * 100
    // overflows 64 bits above ~92 PB.
    long double v = static_cast<long double>(bytes) * 100.0L;
    long double mag = v < 0 ? -v : v;
    int unit = 0;
    while (unit < 4 && mag >= 102400.0L) {
        // Integer division as the display rule wants.
        v = static_cast<long double>(static_cast<long long>(v / 1024.0L));
        mag = v < 0 ? -v : v;
        ++unit;
    }
    return QString::number(static_cast<double>(v) / 100.0, 'g', 6) + QLatin1String(units[unit]);
}

QDateTime VUtils::parseDateTime(const QString &text)
{
    static const char *const formats[] = {"yyyy-MM-dd hh:mm:ss:zzz", "yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd",
                                          "yyyyMMdd", "yyyy/M/d h:m:s"};
    for (const char *f : formats) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

QTime VUtils::secondsToTime(int seconds)
{
    return QTime(0, 0, 0).addSecs(seconds);
}

// ---- JSON ----------------------------------------------------------------


QJsonObject VUtils::toJsonObject(const QString &text) { return parseRepairedJson(text).object(); }
QJsonArray VUtils::toJsonArray(const QString &text) { return parseRepairedJson(text).array(); }

QString VUtils::toJsonText(const QJsonObject &obj)
{
    return QString::fromUtf8(QJsonDocument(obj).toJson());
}

QString VUtils::toJsonText(const QJsonArray &arr)
{
    return QString::fromUtf8(QJsonDocument(arr).toJson());
}

// ---- paths ---------------------------------------------------------------

QString VUtils::normalizePath(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("/");
    QString p = path;
    if (!p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    while (p.contains(QLatin1String("//")))
        p.replace(QLatin1String("//"), QLatin1String("/"));
    if (!p.endsWith(QLatin1Char('/')))
        p.append(QLatin1Char('/'));
    return p.toLower();
}

QString VUtils::parentPath(const QString &path)
{
    QString p = path;
    if (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const int i = p.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QString() : p.left(i);
}

QString VUtils::fileName(const QString &path)
{
    const int i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? path : path.mid(i + 1);
}

// ---- sorting -------------------------------------------------------------

QJsonArray VUtils::sortJsonArray(const QJsonArray &array, const QString &key, bool descending, bool numeric)
{
    return VJsonSort::sort(array, {key, numeric, descending});
}

QJsonArray VUtils::sortJsonArray(const QJsonArray &array, const QString &key1, const QString &key2,
                                 bool descending, bool numeric1, bool numeric2)
{
    // The second key runs the other way (folders first, then by name).
    return VJsonSort::sort(array, {key1, numeric1, descending}, {key2, numeric2, !descending});
}

// ---- addresses, ids ------------------------------------------------------

const QStringList &VUtils::excelExtensions()
{
    static const QStringList l{"csv", "ods", "xls", "xlsb", "xlsm", "xlsx"};
    return l;
}
const QStringList &VUtils::oneNoteExtensions()
{
    static const QStringList l{"one", "onetoc2"};
    return l;
}
const QStringList &VUtils::powerPointExtensions()
{
    static const QStringList l{"odp", "pot", "potm", "potx", "pps", "ppsm", "ppsx", "ppt", "pptm", "pptx"};
    return l;
}
const QStringList &VUtils::wordExtensions()
{
    static const QStringList l{"doc", "docm", "docx", "dot", "dotm", "dotx", "odt", "rtf"};
    return l;
}
const QStringList &VUtils::pdfExtensions()
{
    static const QStringList l{"pdf"};
    return l;
}

QString VUtils::viewerPath(const QString &extension)
{
    const QString ext = extension.toLower();
    if (wordExtensions().contains(ext))
        return QStringLiteral("/wv/wordviewerframe.aspx?");
    if (excelExtensions().contains(ext))
        return QStringLiteral("/x/_layouts/xlviewerinternal.aspx?");
    if (oneNoteExtensions().contains(ext))
        return QStringLiteral("/o/onenoteframe.aspx?edit=0&");
    if (pdfExtensions().contains(ext))
        return QStringLiteral("/wv/wordviewerframe.aspx?PdfMode=1&");
    if (powerPointExtensions().contains(ext))
        return QStringLiteral("/p/PowerPointFrame.aspx?PowerPointView=ReadingView&");
    return QString();
}

QString VUtils::downloadUrl(const QString &base, const QString &fileid, const QString &token)
{
    return QStringLiteral("%1/web/download/file?fileid=%2&tk=%3").arg(base, fileid, token);
}

QString VUtils::uuid()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

// ---- system --------------------------------------------------------------

bool VUtils::setAutoRun(const QString &name, const QString &path, bool on)
{
    return VPlatform::setAutoRun(name, path, on);
}

QString VUtils::appVersion() { return VPlatform::appVersion(); }

int VUtils::compareVersion(const QString &a, const QString &b)
{
    // "1.0" and "1.0.0" are one version; otherwise the same version would be
    // offered as an update again on every start.
    bool ok = false;
    const int r = VUpdateDescription::compareVersions(a, b, &ok);
    if (ok)
        return r;
    return QVersionNumber::compare(QVersionNumber::fromString(a.trimmed()),
                                   QVersionNumber::fromString(b.trimmed()));
}

bool VUtils::killProcess(qint64 pid) { return VPlatform::killProcess(pid); }

bool VUtils::openFolder(const QString &path)
{
    QDir().mkpath(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool VUtils::openFile(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString VUtils::elide(const QString &text, int width, const QFont &font)
{
    return QFontMetrics(font).elidedText(text, Qt::ElideRight, width);
}

// ---- drag out ------------------------------------------------------------

QString VUtils::createDropMarker()
{
    const QString cache = dataDir() + QStringLiteral("/cache");
    QDir().mkpath(cache);
    QTemporaryFile marker(cache + QStringLiteral("/orvel"));
    marker.setAutoRemove(false);
    if (!marker.open())
        return QString();
    const QString path = marker.fileName();
    marker.close();
    return path;
}

QString VUtils::findDropFolder(const QString &markerPath, const QStringList &extraFolders)
{
    const QString name = QFileInfo(markerPath).fileName();
    if (name.isEmpty())
        return QString();
    QStringList places;
    const QString candidate = VPlatform::dropCandidateFolder();
    if (!candidate.isEmpty())
        places << candidate;
    places << extraFolders << VPlatform::dropSearchFolders();
    const QString origin = QFileInfo(markerPath).absolutePath();
    for (const QString &folder : qAsConst(places)) {
        const QString dir = QDir::cleanPath(folder);
        if (dir.isEmpty() || dir == origin)
            continue;
        const QString hit = dir + QLatin1Char('/') + name;
        if (QFileInfo(hit).isFile()) {
            QFile::remove(hit);
            QFile::remove(markerPath);
            return dir;
        }
    }
    return QString();
}

QString VUtils::freeFileName(const QString &path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo fi(path);
    const QString dir = fi.path();
    const QString name = fi.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int i = 1;; ++i) {
        const QString next = dir + QLatin1Char('/') + stem + QStringLiteral("(%1)").arg(i) + ext;
        if (!QFileInfo::exists(next))
            return next;
    }
}

