#pragma once
// Shared by the update tests: files published on the stand-in service under
// its data folder's "client/", and a temporary program folder with a stand-in
// client and, when asked, the real updater in its "AutoUpdate".
#include "testserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>

namespace updatefixture {

inline QByteArray sha256Of(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Publishes bytes as "client/<rel>"; answers their MD5 (lower-case hex).
inline QString publish(const TestServer &server, const QString &rel, const QByteArray &bytes)
{
    writeFile(server.dataDir() + QStringLiteral("/client/") + rel, bytes);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

inline bool describe(const TestServer &server, const QJsonObject &o)
{
    return writeFile(server.dataDir() + QStringLiteral("/client/update.json"), QJsonDocument(o).toJson());
}

inline QJsonObject entry(const QString &dir, const QString &name, const QString &md5,
                         const QString &rename = QString())
{
    // "{root}" is replaced by the server with its address ("http://host:port").
    QJsonObject o{{"url", QStringLiteral("{root}/client/") + dir}, {"filepath", name}, {"md5", md5}};
    if (!rename.isEmpty())
        o.insert(QStringLiteral("rename"), rename);
    return o;
}

// A program folder of its own, never inside the build tree.
struct ProgramFolder
{
    QTemporaryDir tmp;
    QString path() const { return tmp.path() + QStringLiteral("/prog"); }
    QString updateDir() const { return path() + QStringLiteral("/AutoUpdate"); }
    QString program() const { return path() + QStringLiteral("/OrvelNetdisk"); }

    bool create(const QByteArray &programBytes)
    {
        return tmp.isValid() && QDir().mkpath(updateDir()) && writeFile(program(), programBytes)
               && QFile::setPermissions(program(), QFile::permissions(program()) | QFile::ExeOwner | QFile::ExeUser
                                                       | QFile::ExeGroup | QFile::ExeOther);
    }
    bool addUpdater(const QString &binary)
    {
        const QString target = updateDir() + QStringLiteral("/OrvelTool");
        QFile::remove(target);
        return QFile::copy(binary, target);
    }
    // Path (relative) -> SHA-256 of every file outside the update folder.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> out;
        QDirIterator it(path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            const QString rel = QDir(path()).relativeFilePath(p);
            if (!rel.startsWith(QStringLiteral("AutoUpdate/")))
                out.insert(rel, sha256Of(p));
        }
        return out;
    }
};

} // namespace updatefixture
