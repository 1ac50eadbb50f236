#include "update/vupdatepolicy.h"

#include "request/vnetworkpolicy.h"
#include "updater/vupdatedescription.h"
#include "updater/vupdatemanifest.h"
#include "utils/vutils.h"

#include <QCoreApplication>
#include <QFileInfo>

bool VUpdatePolicy::isManagedInstall(const QString &programDir)
{
    if (QFileInfo::exists(programDir + QLatin1Char('/') + VUpdateManifest::packagedMarkerName()))
        return true;
    if (!QFileInfo(programDir).isWritable())
        return true;
    const QFileInfo update(programDir + QLatin1Char('/') + VUpdateManifest::updateFolderName());
    return update.exists() && !update.isWritable();
}

VUpdatePolicy::Facts VUpdatePolicy::currentFacts()
{
    Facts f;
    f.ownVersion = VUtils::appVersion();
    f.programDir = QCoreApplication::applicationDirPath();
    f.programName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    f.managed = isManagedInstall(f.programDir);
    f.insecureTls = VNetworkPolicy::insecure();
    return f;
}

VUpdatePolicy::Decision VUpdatePolicy::decide(const QJsonObject &description, const Facts &facts)
{
    const VUpdateDescription d = VUpdateDescription::parse(description, facts.programName);
    if (!d.hasVersion() || !VUpdateDescription::isVersion(d.version))
        return {Error, QStringLiteral("更新版本文件获取失败")};
    bool ok = false;
    const int cmp = VUpdateDescription::compareVersions(facts.ownVersion, d.version, &ok);
    if (!ok)
        return {Error, QStringLiteral("更新版本文件获取失败")};
    // An older published version is offered too: an operator may roll back.
    if (cmp == 0)
        return {Nothing, QString()};
    if (!d.low.isEmpty() && VUpdateDescription::compareVersions(facts.ownVersion, d.low) < 0)
        return {DownloadPage, QStringLiteral("版本过低，请下载安装最新客户端")};
    // Program files that belong to the package manager, a description for
    // another system, or binaries that would arrive over an unverified
    // connection: a full install from the download page instead.
    if (facts.managed || facts.insecureTls
        || (!d.platform.isEmpty() && d.platform.compare(VUpdateDescription::currentPlatform(), Qt::CaseInsensitive) != 0))
        return {DownloadPage, QStringLiteral("发现新版本 %1，请下载安装最新客户端").arg(d.version)};
    if (!d.isUsable())
        return {Error, d.error};
    return {InPlace, QString()};
}
