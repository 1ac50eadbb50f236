#include "context/vglobalparameter.h"

#include "context/userinfo.h"
#include "platform/vplatform.h"
#include "utils/vutils.h"

#include <QDir>
#include <QLoggingCategory>
#include <QUuid>

Q_LOGGING_CATEGORY(lcContext, "orvel.context")

namespace {
// Deployment addresses. The test installation is what a fresh object points
// at; start-up always switches to production.
const char kTestWeb[] = "http://test.pan.orvel.example/";
const char kTestApi[] = "http://test.api.orvel.example/";
const char kTestSso[] = "http://test.sso.orvel.example/";
const char kTestDocs[] = "http://192.168.1.20/";
const char kProdWeb[] = "https://pan.orvel.example/";
const char kProdApi[] = "https://api.orvel.example/";
const char kProdSso[] = "https://sso.orvel.example/";
const char kProdDocs[] = "https://docs.orvel.example/";
} // namespace

VGlobalParameter::VGlobalParameter(QObject *parent) : QObject(parent)
{
    m_webUrl = QString::fromLatin1(kTestWeb);
    m_clientUrl = m_webUrl + QStringLiteral("client/");
    m_apiUrl = QString::fromLatin1(kTestApi);
    m_ssoUrl = QString::fromLatin1(kTestSso);
    m_docsUrl = QString::fromLatin1(kTestDocs);
    m_instanceId = QUuid::createUuid().toString();
}

VGlobalParameter *VGlobalParameter::instance()
{
    static VGlobalParameter self;
    return &self;
}

void VGlobalParameter::setIsRlease(bool release)
{
    qCDebug(lcContext) << "release" << release;
    m_isTest = !release;
    if (!release)
        return;
    m_webUrl = QString::fromLatin1(kProdWeb);
    m_clientUrl = m_webUrl + QStringLiteral("client/");
    m_apiUrl = QString::fromLatin1(kProdApi);
    m_ssoUrl = QString::fromLatin1(kProdSso);
    m_docsUrl = QString::fromLatin1(kProdDocs);
}

void VGlobalParameter::setServerRoot(const QString &root)
{
    QString r = root.trimmed();
    if (r.isEmpty())
        return;
    if (!r.endsWith(QLatin1Char('/')))
        r += QLatin1Char('/');
    qCDebug(lcContext) << "server root" << r;
    m_webUrl = r;
    m_clientUrl = r + QStringLiteral("client/");
    m_apiUrl = r + QStringLiteral("api/");
    m_ssoUrl = r + QStringLiteral("sso/");
    m_docsUrl = r + QStringLiteral("docs/");
}

void VGlobalParameter::setPreviewRoot(const QString &root)
{
    QString r = root.trimmed();
    if (!r.isEmpty() && !r.endsWith(QLatin1Char('/')))
        r += QLatin1Char('/');
    m_previewUrl = r;
}

QString VGlobalParameter::serverRootOverride(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--server") && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (a.startsWith(QLatin1String("--server=")))
            return a.mid(9);
    }
    return qEnvironmentVariable("ORVEL_SERVER_ROOT");
}

QString VGlobalParameter::userPath() const
{
    const UserInfo *u = UserInfo::instance();
    return VUtils::dataDir() + QStringLiteral("/users/%1/%2").arg(u->id).arg(u->schoolid);
}

QString VGlobalParameter::userSubdir(const QString &name) const
{
    const QString path = userPath() + QLatin1Char('/') + name;
    if (!QDir(path).exists()) {
        QDir().mkpath(path);
        VPlatform::hideFolder(path);
    }
    return path;
}

QString VGlobalParameter::userCachePath() const { return userSubdir(QStringLiteral("cache")); }
QString VGlobalParameter::userSavePath() const { return userSubdir(QStringLiteral("save")); }
QString VGlobalParameter::userTempPath() const { return userSubdir(QStringLiteral("temp")); }

QString VGlobalParameter::tempPath() const
{
    const QString path = VUtils::dataDir() + QStringLiteral("/temp");
    QDir().mkpath(path);
    return path;
}

QString VGlobalParameter::typeWord(int type)
{
    return type == 1 ? QStringLiteral("sharedisk") : QString();
}

QString VGlobalParameter::typeName(int type)
{
    return type == 1 ? QStringLiteral("公共网盘") : QString();
}

int VGlobalParameter::typeByWord(const QString &word)
{
    return word.toLower() == QLatin1String("sharedisk") ? 1 : 0;
}

QString VGlobalParameter::typeNameByWord(const QString &word)
{
    return typeName(typeByWord(word));
}

QString VGlobalParameter::sharediskPath(const QString &relativePath) const
{
    const QString rel = VUtils::normalizePath(relativePath);
    return QStringLiteral("/%1/sharedisk").arg(UserInfo::instance()->schoolid) + rel;
}

int VGlobalParameter::typeOfPath(const QString &serverPath) const
{
    const QString prefix = QStringLiteral("/%1/").arg(UserInfo::instance()->schoolid);
    if (!serverPath.startsWith(prefix))
        return 0;
    const QString rest = serverPath.mid(prefix.size());
    const QString segment = rest.section(QLatin1Char('/'), 0, 0);
    return typeByWord(segment);
}

QString VGlobalParameter::categoryName(int category)
{
    switch (category) {
    case 0: return QStringLiteral("其他");
    case 1: return QStringLiteral("视频文件");
    case 2: return QStringLiteral("音频文件");
    case 3: return QStringLiteral("图片文件");
    case 4: return QStringLiteral("文档文件");
    case 5: return QStringLiteral("应用文件");
    case 6: return QStringLiteral("种子文件");
    default: return QString();
    }
}
