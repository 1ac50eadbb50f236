#include "updater/vupdatemanifest.h"

#include "updater/vupdatedescription.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

QString VUpdateManifest::updateFolderName() { return QStringLiteral("AutoUpdate"); }
QString VUpdateManifest::updaterFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("OrvelTool.exe");
#else
    return QStringLiteral("OrvelTool");
#endif
}
QString VUpdateManifest::addrFileName() { return QStringLiteral("addr.txt"); }
QString VUpdateManifest::fileName() { return QStringLiteral("install.json"); }
QString VUpdateManifest::lockFileName() { return QStringLiteral("OrvelTool.lock"); }
QString VUpdateManifest::logFileName() { return QStringLiteral("update.log"); }
QString VUpdateManifest::backupFolderName() { return QStringLiteral("backup"); }
QString VUpdateManifest::packagedMarkerName() { return QStringLiteral("installed-by-package"); }

bool VUpdateManifest::hashFile(const QString &path, QString *md5, QString *sha256)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash m(QCryptographicHash::Md5);
    QCryptographicHash s(QCryptographicHash::Sha256);
    QByteArray buf(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = f.read(buf.data(), buf.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        m.addData(buf.constData(), int(n));
        s.addData(buf.constData(), int(n));
    }
    if (md5)
        *md5 = QString::fromLatin1(m.result().toHex());
    if (sha256)
        *sha256 = QString::fromLatin1(s.result().toHex());
    return true;
}

QByteArray VUpdateManifest::toJson() const
{
    QJsonArray fa;
    for (const File &f : files)
        fa.append(QJsonObject{{"name", f.name}, {"md5", f.md5}, {"sha256", f.sha256}});
    QJsonObject o{{"program", program},
                  {"pid", double(pid)},
                  {"arguments", QJsonArray::fromStringList(arguments)},
                  {"version", version},
                  {"files", fa},
                  {"deleteFiles", QJsonArray::fromStringList(deleteFiles)}};
    return QJsonDocument(o).toJson();
}

bool VUpdateManifest::fromJson(const QByteArray &json, VUpdateManifest *out, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("安装清单无法读取"));
    const QJsonObject o = doc.object();
    VUpdateManifest m;
    m.program = o.value(QLatin1String("program")).toString();
    m.pid = qint64(o.value(QLatin1String("pid")).toDouble());
    m.version = o.value(QLatin1String("version")).toString();
    if (m.program.isEmpty())
        return fail(QStringLiteral("安装清单缺少程序路径"));
    for (const QJsonValue &a : o.value(QLatin1String("arguments")).toArray()) {
        if (!a.isString())
            return fail(QStringLiteral("安装清单的启动参数不合法"));
        m.arguments << a.toString();
    }
    static const QRegularExpression md5(QStringLiteral("^[0-9a-f]{32}$"));
    static const QRegularExpression sha(QStringLiteral("^[0-9a-f]{64}$"));
    QStringList names;
    for (const QJsonValue &v : o.value(QLatin1String("files")).toArray()) {
        const QJsonObject f = v.toObject();
        File e{f.value(QLatin1String("name")).toString(), f.value(QLatin1String("md5")).toString(),
               f.value(QLatin1String("sha256")).toString()};
        if (!VUpdateDescription::isPlainName(e.name) || VUpdateDescription::isReservedName(e.name)
            || names.contains(e.name.toLower()))
            return fail(QStringLiteral("安装清单的文件名不合法：%1").arg(e.name));
        if (!md5.match(e.md5).hasMatch() || !sha.match(e.sha256).hasMatch())
            return fail(QStringLiteral("安装清单的校验值不合法：%1").arg(e.name));
        names << e.name.toLower();
        m.files << e;
    }
    for (const QJsonValue &v : o.value(QLatin1String("deleteFiles")).toArray()) {
        const QString clean = VUpdateDescription::cleanRelativePath(v.toString());
        if (clean.isEmpty() || clean != v.toString())
            return fail(QStringLiteral("安装清单的删除路径不合法：%1").arg(v.toString()));
        m.deleteFiles << clean;
    }
    *out = m;
    return true;
}
