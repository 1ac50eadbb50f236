#pragma once
// The school disk: a tree of folders and files per school under
// "/<schoolid>/sharedisk", permission codes per user and role, the recycle
// bin, favourites, visits and folder templates. File content lives in
// content-addressed blobs; rows carry the SHA-256.
#include "auth.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

class Router;
struct Call;

namespace disk {

enum Bit {
    Preview = 1,
    Create = 2,
    Rename = 4,
    Delete = 8,
    Upload = 16,
    Download = 32,
    Share = 64,
    Move = 128,
    Copy = 256,
};

// Per-item outcome codes in act results.
enum ItemCode {
    Ok = 0,
    Failed = 1,
    NotFound = 2,
    Denied = 3,
    BadName = 4,
    NameClash = 5,
    IntoItself = 6,
};

QString nowText();
QString rootPath(qint64 schoolid);
qint64 ensureRoot(qint64 schoolid);
int category(const QString &ext);
QString extOf(const QString &name, bool isdir);

// Canonical full path ("/1001/sharedisk/a/b") of a path as a client sent
// it: case and repeated or trailing slashes do not matter, a path that does
// not start with the school id is read below the school's disk root.
bool canonical(const Session &s, const QString &in, QString *out, QString *error);
QVariantMap byId(qint64 id);
QVariantMap findLive(qint64 schoolid, const QString &fullpath);
QVariantMap findAnyLive(const QString &fullpath);
QVariantMap childByName(qint64 parentid, const QString &name);
// Resolves a path or a decimal id sent by a client to a live item.
QVariantMap resolve(const Session &s, const QString &pathOrId, QString *error);

bool validName(const QString &name, QString *error);
// "a.txt" -> "a(1).txt", "a(2).txt", ... until free in the folder.
QString freeName(qint64 parentid, const QString &name);

// Permission codes, cached per request.
class Perms
{
public:
    explicit Perms(const Session &s) : m_s(s) {}
    QString code(const QVariantMap &item);
    // The same from the item's parts, without reading the item again.
    QString code(bool isdir, qint64 id, qint64 parentid);
    bool allowed(const QVariantMap &item, int bit);
    bool admin() const { return m_s.isAdmin(); }
    // Reads the codes of many folders (id, parent id) with a few queries
    // instead of several per folder.
    void preload(const QList<QPair<qint64, qint64>> &folders);

private:
    QString folderCode(qint64 folderId);
    const Session &m_s;
    QHash<qint64, QString> m_cache;
};
QString defaultCode(int shenfen);

QJsonObject record(const QVariantMap &row, Perms &perms, bool withCounts = true);

// Mutations (callers hold a store transaction).
qint64 makeDir(const Session &actor, qint64 parentid, const QString &name);
// Creates or replaces a file; replaceId > 0 replaces that row's content.
qint64 putFile(const Session &actor, qint64 parentid, const QString &name, qint64 size, const QString &sha256,
               qint64 replaceId = 0);
void renameItem(const Session &actor, qint64 id, const QString &newName);
void moveItem(const Session &actor, qint64 id, qint64 newParent, const QString &newName);
qint64 copyItem(const Session &actor, qint64 id, qint64 newParent, const QString &newName);
void removeToRecycle(const Session &actor, qint64 id);
void restore(qint64 id, const QString &asName);
void purge(qint64 id);
// Replaces an existing live item (the target of a replace) by removing it.
void replaceAway(const Session &actor, qint64 id);
bool isInside(qint64 id, qint64 ancestor);

void recordVisit(const Session &s, qint64 fileid, const QString &ip, const QString &type);
void setPermission(qint64 folderId, int subjtype, qint64 subjid, const QString &code);

void registerRoutes(Router &main);

} // namespace disk
