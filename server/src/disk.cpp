#include "disk.h"

#include "http.h"
#include "json.h"
#include "service.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>

namespace disk {

QString nowText() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

QString rootPath(qint64 schoolid) { return QStringLiteral("/%1/sharedisk").arg(schoolid); }

qint64 ensureRoot(qint64 schoolid)
{
    Store &st = svc().store;
    Store::Tx tx(st);
    const QString root = rootPath(schoolid);
    QVariant id = st.scalar(QStringLiteral("SELECT id FROM files WHERE lpath=? AND deleted=0"), {root});
    if (id.isValid()) {
        tx.commit();
        return id.toLongLong();
    }
    const QString now = nowText();
    const qint64 nid = st.insert(
        QStringLiteral("INSERT INTO files(schoolid, parentid, name, isdir, size, fullpath, lpath, addtime, adduserid,"
                       " addusername, updatetime, updateuserid, updateusername) VALUES(?,0,'sharedisk',1,0,?,?,?,0,'系统',?,0,'系统')"),
        {schoolid, root, root, now, now});
    tx.commit();
    return nid;
}

QString extOf(const QString &name, bool isdir)
{
    if (isdir)
        return QString();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

int category(const QString &ext)
{
    static const QSet<QString> video{"mp4", "avi", "mkv", "mov", "wmv", "flv", "rmvb", "mpg", "mpeg", "m4v", "webm"};
    static const QSet<QString> audio{"mp3", "wav", "wma", "flac", "aac", "ogg", "m4a", "ape"};
    static const QSet<QString> image{"jpg", "jpeg", "png", "gif", "bmp", "webp", "svg", "tif", "tiff", "ico"};
    static const QSet<QString> doc{"doc", "docx", "docm", "dot", "dotm", "dotx", "odt", "rtf", "xls", "xlsx", "xlsb",
                                   "xlsm", "csv", "ods", "ppt", "pptx", "pptm", "pot", "potm", "potx", "pps", "ppsm",
                                   "ppsx", "odp", "pdf", "txt", "md", "one", "onetoc2", "wps", "et", "dps"};
    static const QSet<QString> app{"exe", "msi", "apk", "dmg", "deb", "rpm", "bat", "sh", "zip", "rar", "7z", "tar", "gz"};
    if (ext == QLatin1String("torrent"))
        return 6;
    if (video.contains(ext))
        return 1;
    if (audio.contains(ext))
        return 2;
    if (image.contains(ext))
        return 3;
    if (doc.contains(ext))
        return 4;
    if (app.contains(ext))
        return 5;
    return 0;
}

bool canonical(const Session &s, const QString &in, QString *out, QString *error)
{
    QString p = in;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList segs = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (segs.size() > 66) {
        *error = QStringLiteral("路径层级过深");
        return false;
    }
    for (const QString &seg : segs) {
        if (seg == QLatin1String(".") || seg == QLatin1String("..")) {
            *error = QStringLiteral("路径不合法");
            return false;
        }
    }
    bool isNum = false;
    if (!segs.isEmpty()) {
        const qint64 school = segs.first().toLongLong(&isNum);
        if (isNum) {
            if (school != s.schoolid) {
                *error = QStringLiteral("无权访问其他学校的文件");
                return false;
            }
            if (segs.size() < 2 || segs.at(1).compare(QLatin1String("sharedisk"), Qt::CaseInsensitive) != 0) {
                *error = QStringLiteral("路径不合法：只支持公共网盘");
                return false;
            }
            segs = segs.mid(2);
        } else if (segs.first().compare(QLatin1String("sharedisk"), Qt::CaseInsensitive) == 0) {
            segs = segs.mid(1);
        }
    }
    QString full = rootPath(s.schoolid);
    for (const QString &seg : segs)
        full += QLatin1Char('/') + seg;
    *out = full;
    return true;
}

QVariantMap byId(qint64 id)
{
    return svc().store.row(QStringLiteral("SELECT * FROM files WHERE id=?"), {id});
}

QVariantMap findLive(qint64 schoolid, const QString &fullpath)
{
    return svc().store.row(QStringLiteral("SELECT * FROM files WHERE lpath=? AND schoolid=? AND deleted=0"),
                           {fullpath.toLower(), schoolid});
}

QVariantMap findAnyLive(const QString &fullpath)
{
    QString p = fullpath;
    p.replace(QRegularExpression(QStringLiteral("/+")), QStringLiteral("/"));
    if (p.endsWith(QLatin1Char('/')) && p.size() > 1)
        p.chop(1);
    if (!p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    return svc().store.row(QStringLiteral("SELECT * FROM files WHERE lpath=? AND deleted=0"), {p.toLower()});
}

QVariantMap childByName(qint64 parentid, const QString &name)
{
    // Names are unique per folder regardless of case, as on the client's file
    // system. The lower-cased full path is indexed, so a lookup costs the same
    // in a folder of ten entries and of a hundred thousand.
    const QString parentPath = svc().store.scalar(QStringLiteral("SELECT lpath FROM files WHERE id=?"), {parentid}).toString();
    if (parentPath.isEmpty())
        return QVariantMap();
    return svc().store.row(QStringLiteral("SELECT * FROM files WHERE lpath=? AND parentid=? AND deleted=0"),
                           {parentPath + QLatin1Char('/') + name.toLower(), parentid});
}

QVariantMap resolve(const Session &s, const QString &pathOrId, QString *error)
{
    const QString t = pathOrId.trimmed();
    bool isId = false;
    const qint64 id = t.toLongLong(&isId);
    if (isId) {
        const QVariantMap r = byId(id);
        if (r.isEmpty() || r.value("deleted").toInt() || r.value("schoolid").toLongLong() != s.schoolid) {
            *error = QStringLiteral("文件不存在");
            return QVariantMap();
        }
        return r;
    }
    if (t.isEmpty()) {
        *error = QStringLiteral("缺少文件路径");
        return QVariantMap();
    }
    QString full;
    if (!canonical(s, t, &full, error))
        return QVariantMap();
    const QVariantMap r = findLive(s.schoolid, full);
    if (r.isEmpty())
        *error = QStringLiteral("文件不存在：%1").arg(t);
    return r;
}

bool validName(const QString &name, QString *error)
{
    static const QRegularExpression bad(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]"));
    const QString n = name;
    if (n.trimmed().isEmpty()) {
        *error = QStringLiteral("名称不能为空");
        return false;
    }
    if (n == QLatin1String(".") || n == QLatin1String("..") || n.contains(bad)) {
        *error = QStringLiteral("名称不合法，不能包含 / \\ : * ? \" < > | 或为 . ..");
        return false;
    }
    if (n.size() > 200) {
        *error = QStringLiteral("名称过长");
        return false;
    }
    return true;
}

QString freeName(qint64 parentid, const QString &name)
{
    if (childByName(parentid, name).isEmpty())
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int i = 1;; ++i) {
        const QString cand = QStringLiteral("%1(%2)%3").arg(base).arg(i).arg(ext);
        if (childByName(parentid, cand).isEmpty())
            return cand;
    }
}

QString defaultCode(int shenfen)
{
    // Students may look, download and copy; staff may do everything.
    if (shenfen == 1)
        return QStringLiteral("100100001");
    return QStringLiteral("111111111");
}

QString Perms::folderCode(qint64 folderId)
{
    auto it = m_cache.constFind(folderId);
    if (it != m_cache.constEnd())
        return *it;
    QString code;
    const QVariantMap f = byId(folderId);
    if (f.isEmpty()) {
        code = defaultCode(m_s.shenfen);
    } else {
        const QVariant user = svc().store.scalar(
            QStringLiteral("SELECT code FROM perms WHERE fileid=? AND subjtype=1 AND subjid=?"), {folderId, m_s.userid});
        const QVariant role = user.isValid() ? QVariant()
            : svc().store.scalar(QStringLiteral("SELECT code FROM perms WHERE fileid=? AND subjtype=2 AND subjid=?"),
                                 {folderId, m_s.shenfen});
        if (user.isValid())
            code = user.toString();
        else if (role.isValid())
            code = role.toString();
        else if (f.value("parentid").toLongLong() > 0)
            code = folderCode(f.value("parentid").toLongLong());
        else
            code = defaultCode(m_s.shenfen);
    }
    m_cache.insert(folderId, code);
    return code;
}

QString Perms::code(const QVariantMap &item)
{
    return code(item.value("isdir").toInt() != 0, item.value("id").toLongLong(), item.value("parentid").toLongLong());
}

QString Perms::code(bool isdir, qint64 id, qint64 parentid)
{
    if (m_s.isAdmin())
        return QStringLiteral("111111111");
    return folderCode(isdir ? id : parentid);
}

void Perms::preload(const QList<QPair<qint64, qint64>> &folders)
{
    if (m_s.isAdmin())
        return;
    QList<QPair<qint64, qint64>> todo;
    for (const auto &f : folders) {
        if (!m_cache.contains(f.first))
            todo << f;
    }
    // The user's own rows win over the role's, as in folderCode.
    QHash<qint64, QString> user, role;
    for (int from = 0; from < todo.size(); from += 500) {
        const int n = std::min(500, int(todo.size()) - from);
        QString marks;
        QVariantList binds;
        for (int i = 0; i < n; ++i) {
            marks += i ? QStringLiteral(",?") : QStringLiteral("?");
            binds << todo.at(from + i).first;
        }
        binds << m_s.userid << m_s.shenfen;
        QSqlQuery q = svc().store.exec(
            QStringLiteral("SELECT fileid, subjtype, code FROM perms WHERE fileid IN (%1)"
                           " AND ((subjtype=1 AND subjid=?) OR (subjtype=2 AND subjid=?))")
                .arg(marks),
            binds);
        while (q.next())
            (q.value(1).toInt() == 1 ? user : role).insert(q.value(0).toLongLong(), q.value(2).toString());
    }
    for (const auto &f : todo) {
        QString code;
        if (user.contains(f.first))
            code = user.value(f.first);
        else if (role.contains(f.first))
            code = role.value(f.first);
        else if (f.second > 0)
            code = folderCode(f.second);
        else
            code = defaultCode(m_s.shenfen);
        m_cache.insert(f.first, code);
    }
}

bool Perms::allowed(const QVariantMap &item, int bit)
{
    if (m_s.isAdmin())
        return true;
    const QString c = code(item);
    // Read from the right: the last character is bit value 1.
    int mask = 0;
    for (int i = 0; i < c.size(); ++i) {
        if (c.at(c.size() - 1 - i) != QLatin1Char('0'))
            mask |= 1 << i;
    }
    return (mask & bit) == bit;
}

QJsonObject record(const QVariantMap &r, Perms &perms, bool withCounts)
{
    const bool dir = r.value("isdir").toInt() != 0;
    const QString name = r.value("name").toString();
    const QString ext = extOf(name, dir);
    const int cat = dir ? 0 : category(ext);
    QJsonObject o{
        {"id", r.value("id").toString()},
        {"pid", r.value("parentid").toString()},
        {"filename", name},
        {"fileext", ext},
        {"fullpath", r.value("fullpath").toString()},
        {"bankuai", "sharedisk"},
        {"filesize", r.value("size").toDouble()},
        {"isdir", dir},
        {"filetype", cat},
        {"filecategory", cat},
        {"createtime", r.value("addtime").toString()},
        {"createuserid", r.value("adduserid").toLongLong()},
        {"createusername", r.value("addusername").toString()},
        {"addtime", r.value("addtime").toString()},
        {"adduserid", r.value("adduserid").toLongLong()},
        {"addusername", r.value("addusername").toString()},
        {"showtime", r.value("updatetime").toString()},
        {"updatetime", r.value("updatetime").toString()},
        {"updateuserid", r.value("updateuserid").toLongLong()},
        {"updateusername", r.value("updateusername").toString()},
        {"updateusename", r.value("updateusername").toString()},
        {"md5", r.value("sha256").toString()},
        {"banben", r.value("banben").toString()},
        {"isadmin", perms.admin()},
        {"permissioncode", perms.code(r)},
    };
    if (r.value("deleted").toInt()) {
        o["deltime"] = r.value("deltime").toString();
        o["deluserid"] = r.value("deluserid").toString();
        o["delusername"] = r.value("delusername").toString();
    }
    if (dir && withCounts) {
        const QVariantMap n = svc().store.row(
            QStringLiteral("SELECT COALESCE(SUM(isdir),0) AS d, COUNT(*) AS t FROM files WHERE parentid=? AND deleted=0"),
            {r.value("id")});
        const int dirs = n.value("d").toInt();
        o["dirnum"] = dirs;
        o["filenum"] = n.value("t").toInt() - dirs;
        o["islast"] = dirs == 0;
    }
    return o;
}

namespace {

QString pathBelow(qint64 parentid, const QString &name)
{
    const QVariantMap p = byId(parentid);
    return p.value("fullpath").toString() + QLatin1Char('/') + name;
}

// Rewrites the stored paths of an item's subtree after a rename or move.
void repath(qint64 id, const QString &newFull)
{
    Store &st = svc().store;
    st.exec(QStringLiteral("UPDATE files SET fullpath=?, lpath=? WHERE id=?"), {newFull, newFull.toLower(), id});
    const auto kids = st.rows(QStringLiteral("SELECT id, name FROM files WHERE parentid=?"), {id});
    for (const QVariantMap &k : kids)
        repath(k.value("id").toLongLong(), newFull + QLatin1Char('/') + k.value("name").toString());
}

} // namespace

qint64 makeDir(const Session &actor, qint64 parentid, const QString &name)
{
    Store &st = svc().store;
    const QVariantMap p = byId(parentid);
    const QString full = p.value("fullpath").toString() + QLatin1Char('/') + name;
    const QString now = nowText();
    return st.insert(
        QStringLiteral("INSERT INTO files(schoolid, parentid, name, isdir, size, fullpath, lpath, addtime, adduserid,"
                       " addusername, updatetime, updateuserid, updateusername) VALUES(?,?,?,1,0,?,?,?,?,?,?,?,?)"),
        {p.value("schoolid"), parentid, name, full, full.toLower(), now, actor.userid, actor.truename, now,
         actor.userid, actor.truename});
}

qint64 putFile(const Session &actor, qint64 parentid, const QString &name, qint64 size, const QString &sha256,
               qint64 replaceId)
{
    Store &st = svc().store;
    const QString now = nowText();
    if (replaceId > 0) {
        const QString old = byId(replaceId).value("sha256").toString();
        st.exec(QStringLiteral("UPDATE files SET size=?, sha256=?, updatetime=?, updateuserid=?, updateusername=?,"
                               " banben=banben+1 WHERE id=?"),
                {size, sha256, now, actor.userid, actor.truename, replaceId});
        if (old != sha256)
            st.dropBlobIfUnused(old);
        return replaceId;
    }
    const QVariantMap p = byId(parentid);
    const QString full = p.value("fullpath").toString() + QLatin1Char('/') + name;
    return st.insert(
        QStringLiteral("INSERT INTO files(schoolid, parentid, name, isdir, size, sha256, fullpath, lpath, addtime, adduserid,"
                       " addusername, updatetime, updateuserid, updateusername) VALUES(?,?,?,0,?,?,?,?,?,?,?,?,?,?)"),
        {p.value("schoolid"), parentid, name, size, sha256, full, full.toLower(), now, actor.userid, actor.truename,
         now, actor.userid, actor.truename});
}

void renameItem(const Session &actor, qint64 id, const QString &newName)
{
    Store &st = svc().store;
    const QVariantMap r = byId(id);
    st.exec(QStringLiteral("UPDATE files SET name=?, updatetime=?, updateuserid=?, updateusername=? WHERE id=?"),
            {newName, nowText(), actor.userid, actor.truename, id});
    repath(id, pathBelow(r.value("parentid").toLongLong(), newName));
}

void moveItem(const Session &actor, qint64 id, qint64 newParent, const QString &newName)
{
    Store &st = svc().store;
    st.exec(QStringLiteral("UPDATE files SET parentid=?, name=?, updatetime=?, updateuserid=?, updateusername=? WHERE id=?"),
            {newParent, newName, nowText(), actor.userid, actor.truename, id});
    repath(id, pathBelow(newParent, newName));
}

qint64 copyItem(const Session &actor, qint64 id, qint64 newParent, const QString &newName)
{
    const QVariantMap r = byId(id);
    if (r.value("isdir").toInt()) {
        const qint64 nid = makeDir(actor, newParent, newName);
        const auto kids = svc().store.rows(QStringLiteral("SELECT id, name FROM files WHERE parentid=? AND deleted=0"), {id});
        for (const QVariantMap &k : kids)
            copyItem(actor, k.value("id").toLongLong(), nid, k.value("name").toString());
        return nid;
    }
    return putFile(actor, newParent, newName, r.value("size").toLongLong(), r.value("sha256").toString());
}

bool isInside(qint64 id, qint64 ancestor)
{
    qint64 cur = id;
    for (int guard = 0; cur > 0 && guard < 10000; ++guard) {
        if (cur == ancestor)
            return true;
        cur = svc().store.scalar(QStringLiteral("SELECT parentid FROM files WHERE id=?"), {cur}).toLongLong();
    }
    return false;
}

namespace {
void markBelow(qint64 id, qint64 root)
{
    const auto kids = svc().store.rows(QStringLiteral("SELECT id FROM files WHERE parentid=? AND deleted=0"), {id});
    for (const QVariantMap &k : kids) {
        svc().store.exec(QStringLiteral("UPDATE files SET deleted=1, delby=? WHERE id=?"), {root, k.value("id")});
        markBelow(k.value("id").toLongLong(), root);
    }
}
} // namespace

void removeToRecycle(const Session &actor, qint64 id)
{
    svc().store.exec(QStringLiteral("UPDATE files SET deleted=1, delby=id, deltime=?, deluserid=?, delusername=? WHERE id=?"),
                     {nowText(), actor.userid, actor.truename, id});
    markBelow(id, id);
}

void replaceAway(const Session &actor, qint64 id) { removeToRecycle(actor, id); }

void restore(qint64 id, const QString &asName)
{
    Store &st = svc().store;
    const QVariantMap r = byId(id);
    st.exec(QStringLiteral("UPDATE files SET deleted=0, delby=0, name=? WHERE id=?"), {asName, id});
    st.exec(QStringLiteral("UPDATE files SET deleted=0, delby=0 WHERE delby=? AND id<>?"), {id, id});
    repath(id, pathBelow(r.value("parentid").toLongLong(), asName));
}

void purge(qint64 id)
{
    Store &st = svc().store;
    QSet<QString> blobs;
    const auto rows = st.rows(QStringLiteral("SELECT id, sha256 FROM files WHERE id=? OR delby=?"), {id, id});
    for (const QVariantMap &r : rows)
        blobs.insert(r.value("sha256").toString());
    st.exec(QStringLiteral("DELETE FROM files WHERE id=? OR delby=?"), {id, id});
    for (const QString &b : blobs)
        st.dropBlobIfUnused(b);
}

void recordVisit(const Session &s, qint64 fileid, const QString &ip, const QString &type)
{
    Store &st = svc().store;
    Store::Tx tx(st);
    st.exec(QStringLiteral("DELETE FROM visits WHERE userid=? AND fileid=? AND visittype=?"), {s.userid, fileid, type});
    st.exec(QStringLiteral("INSERT INTO visits(userid, fileid, visittime, ip, client, visittype) VALUES(?,?,?,?,4,?)"),
            {s.userid, fileid, nowText(), ip, type});
    tx.commit();
}

void setPermission(qint64 folderId, int subjtype, qint64 subjid, const QString &code)
{
    svc().store.exec(QStringLiteral("INSERT OR REPLACE INTO perms(fileid, subjtype, subjid, code) VALUES(?,?,?,?)"),
                     {folderId, subjtype, subjid, code});
}

// ---------------------------------------------------------------- routes

namespace {

bool visible(Perms &perms, const QVariantMap &r)
{
    return perms.code(r).contains(QLatin1Char('1'));
}

// Every live item below a folder (depth first), without the folder itself.
void collect(qint64 id, QList<QVariantMap> &out, int depth = 0)
{
    if (depth > 64)
        return;
    const auto kids = svc().store.rows(QStringLiteral("SELECT * FROM files WHERE parentid=? AND deleted=0"), {id});
    for (const QVariantMap &k : kids) {
        out.append(k);
        if (k.value("isdir").toInt())
            collect(k.value("id").toLongLong(), out, depth + 1);
    }
}

// ---- listings of large folders
//
// A folder of 100 000 entries is listed without a map per row or a JSON
// object per entry: the rows are read into plain structs, the permission
// codes and the folders' counts come from a few grouped queries, and the
// records are written straight into JSON text (the same record() gives).

struct ListRow {
    qint64 id = 0;
    qint64 parentid = 0;
    QString name;
    bool dir = false;
    double size = 0;
    QString sha256, fullpath, addtime, addusername, updatetime, updateusername, banben;
    qint64 adduserid = 0;
    qint64 updateuserid = 0;
};

const char *const kListColumns = "id, parentid, name, isdir, size, sha256, fullpath, addtime, adduserid, addusername,"
                                 " updatetime, updateuserid, updateusername, banben";

using ListRows = std::vector<ListRow>;

void listRows(qint64 parentid, ListRows &out)
{
    QSqlQuery q = svc().store.exec(
        QStringLiteral("SELECT %1 FROM files WHERE parentid=? AND deleted=0").arg(QLatin1String(kListColumns)),
        {parentid});
    while (q.next()) {
        ListRow r;
        r.id = q.value(0).toLongLong();
        r.parentid = q.value(1).toLongLong();
        r.name = q.value(2).toString();
        r.dir = q.value(3).toInt() != 0;
        r.size = q.value(4).toDouble();
        r.sha256 = q.value(5).toString();
        r.fullpath = q.value(6).toString();
        r.addtime = q.value(7).toString();
        r.adduserid = q.value(8).toLongLong();
        r.addusername = q.value(9).toString();
        r.updatetime = q.value(10).toString();
        r.updateuserid = q.value(11).toLongLong();
        r.updateusername = q.value(12).toString();
        r.banben = q.value(13).toString();
        out.push_back(std::move(r));
    }
}

// Every live item below a folder (depth first), without the folder itself.
void collectRows(qint64 id, ListRows &out, int depth = 0)
{
    if (depth > 64)
        return;
    ListRows kids;
    listRows(id, kids);
    for (ListRow &k : kids) {
        const bool dir = k.dir;
        const qint64 kid = k.id;
        out.push_back(std::move(k));
        if (dir)
            collectRows(kid, out, depth + 1);
    }
}

// Folders first, then names regardless of case.
void sortRows(ListRows &rows)
{
    std::sort(rows.begin(), rows.end(), [](const ListRow &a, const ListRow &b) {
        if (a.dir != b.dir)
            return a.dir;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
}

struct DirCounts {
    int dirs = 0;
    int total = 0;
};

// Sub-folder and entry counts of many folders, grouped per few hundred.
QHash<qint64, DirCounts> countsOf(const QList<qint64> &folders)
{
    QHash<qint64, DirCounts> out;
    for (int from = 0; from < folders.size(); from += 500) {
        const int n = std::min(500, int(folders.size()) - from);
        QString marks;
        QVariantList binds;
        for (int i = 0; i < n; ++i) {
            marks += i ? QStringLiteral(",?") : QStringLiteral("?");
            binds << folders.at(from + i);
        }
        QSqlQuery q = svc().store.exec(
            QStringLiteral("SELECT parentid, COALESCE(SUM(isdir),0), COUNT(*) FROM files WHERE parentid IN (%1)"
                           " AND deleted=0 GROUP BY parentid")
                .arg(marks),
            binds);
        while (q.next())
            out.insert(q.value(0).toLongLong(), DirCounts{q.value(1).toInt(), q.value(2).toInt()});
    }
    return out;
}

// One entry as record() writes it (keys in the order QJsonObject keeps).
void writeRow(QByteArray &out, const ListRow &r, const QString &code, bool admin, const DirCounts *counts)
{
    const QString ext = extOf(r.name, r.dir);
    const QByteArray cat = QByteArray::number(r.dir ? 0 : category(ext));
    auto key = [&out](const char *k) {
        out += '"';
        out += k;
        out += "\":";
    };
    auto str = [&](const char *k, const QString &v) {
        key(k);
        json::appendString(out, v);
        out += ',';
    };
    auto num = [&](const char *k, double v) {
        key(k);
        json::appendValue(out, QJsonValue(v));
        out += ',';
    };
    auto raw = [&](const char *k, const QByteArray &v) {
        key(k);
        out += v;
        out += ',';
    };
    out += '{';
    str("addtime", r.addtime);
    num("adduserid", double(r.adduserid));
    str("addusername", r.addusername);
    str("banben", r.banben);
    raw("bankuai", "\"sharedisk\"");
    str("createtime", r.addtime);
    num("createuserid", double(r.adduserid));
    str("createusername", r.addusername);
    if (counts)
        num("dirnum", counts->dirs);
    raw("filecategory", cat);
    str("fileext", ext);
    str("filename", r.name);
    if (counts)
        num("filenum", counts->total - counts->dirs);
    num("filesize", r.size);
    raw("filetype", cat);
    str("fullpath", r.fullpath);
    str("id", QString::number(r.id));
    raw("isadmin", admin ? "true" : "false");
    raw("isdir", r.dir ? "true" : "false");
    if (counts)
        raw("islast", counts->dirs == 0 ? "true" : "false");
    str("md5", r.sha256);
    str("permissioncode", code);
    str("pid", QString::number(r.parentid));
    str("showtime", r.updatetime);
    str("updatetime", r.updatetime);
    str("updateusename", r.updateusername);
    num("updateuserid", double(r.updateuserid));
    str("updateusername", r.updateusername);
    out.chop(1); // the last comma
    out += '}';
}

void getList(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err;
    QString full;
    if (!canonical(s, c.p("filepath"), &full, &err)) {
        c.reply(1, err);
        return;
    }
    ensureRoot(s.schoolid);
    const QVariantMap folder = findLive(s.schoolid, full);
    if (folder.isEmpty() || !folder.value("isdir").toInt()) {
        c.reply(1, QStringLiteral("文件夹不存在：%1").arg(c.p("filepath")));
        return;
    }
    Perms perms(s);
    if (!visible(perms, folder)) {
        c.reply(1, QStringLiteral("权限不足，无法查看该文件夹"));
        return;
    }
    const QString key = c.p("searchkey").trimmed();
    const int filetype = c.p("filetype").toInt();
    ListRows rows;
    if (key.isEmpty())
        listRows(folder.value("id").toLongLong(), rows);
    else
        collectRows(folder.value("id").toLongLong(), rows);
    // Drop what the listing does not show before the folders' codes and
    // counts are read.
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](const ListRow &r) {
                                  if (!key.isEmpty() && !r.name.contains(key, Qt::CaseInsensitive))
                                      return true;
                                  return filetype > 0 && (r.dir || category(extOf(r.name, false)) != filetype);
                              }),
               rows.end());
    QList<QPair<qint64, qint64>> folders;
    QList<qint64> folderIds;
    for (const ListRow &r : rows) {
        if (r.dir) {
            folders << qMakePair(r.id, r.parentid);
            folderIds << r.id;
        }
    }
    perms.preload(folders);
    const QHash<qint64, DirCounts> counts = countsOf(folderIds);
    sortRows(rows);
    if (c.p("visitlog") == QLatin1String("1") && folder.value("parentid").toLongLong() > 0)
        recordVisit(s, folder.value("id").toLongLong(), c.ip, QStringLiteral("浏览"));
    QJsonObject dir = record(folder, perms);
    dir["isadmin"] = s.isAdmin();
    // The whole reply in one buffer; keys in the order QJsonObject keeps them.
    QByteArray body;
    body.reserve(int(std::min<qint64>(qint64(rows.size()) * 700 + 4096, 1 << 30)));
    body += "{\"Code\":0,\"Msg\":";
    json::appendString(body, QStringLiteral("获取成功"));
    body += ",\"data\":{\"dirinfo\":";
    body += json::write(dir);
    body += ",\"list\":[";
    int total = 0;
    for (const ListRow &r : rows) {
        const QString code = perms.code(r.dir, r.id, r.parentid);
        if (!code.contains(QLatin1Char('1')))
            continue; // not visible
        if (total++)
            body += ',';
        const DirCounts dc = r.dir ? counts.value(r.id) : DirCounts();
        writeRow(body, r, code, s.isAdmin(), r.dir ? &dc : nullptr);
    }
    body += "],\"pageindex\":1,\"pagesize\":" + QByteArray::number(total) + ",\"total\":" + QByteArray::number(total)
            + "}}";
    c.replyJson(body);
}

void getAllChild(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err;
    // Only an empty path means the whole disk; a path that does not exist is
    // an error, never the root.
    const bool whole = c.p("filepath").trimmed().isEmpty();
    if (whole)
        ensureRoot(s.schoolid);
    const QVariantMap f = resolve(s, whole ? QStringLiteral("/") : c.p("filepath"), &err);
    if (f.isEmpty() || !f.value("isdir").toInt()) {
        c.reply(1, err.isEmpty() ? QStringLiteral("文件夹不存在") : err);
        return;
    }
    Perms perms(s);
    const int filetype = c.p("filetype").toInt();
    QList<QVariantMap> rows;
    collect(f.value("id").toLongLong(), rows);
    QJsonArray list;
    for (const QVariantMap &r : rows) {
        if (r.value("isdir").toInt() || !visible(perms, r))
            continue;
        if (filetype > 0 && category(extOf(r.value("name").toString(), false)) != filetype)
            continue;
        QJsonObject o = record(r, perms, false);
        o["isadmin"] = s.isAdmin();
        list.append(o);
    }
    c.reply(0, QStringLiteral("获取成功"), QJsonObject{{"list", list}, {"total", list.size()}});
}

void infoReply(Call &c, const Session &s, const QVariantMap &r, const QString &err)
{
    if (r.isEmpty()) {
        c.reply(1, err.isEmpty() ? QStringLiteral("文件不存在") : err);
        return;
    }
    Perms perms(s);
    if (!visible(perms, r)) {
        c.reply(1, QStringLiteral("权限不足"));
        return;
    }
    QJsonObject o = record(r, perms);
    o["isadmin"] = s.isAdmin();
    c.reply(0, QStringLiteral("获取成功"), o);
}

void info(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err;
    const QString id = c.p("fileid").trimmed();
    bool isNum = false;
    id.toLongLong(&isNum);
    if (!isNum) {
        c.reply(1, QStringLiteral("文件编号无效"));
        return;
    }
    infoReply(c, s, resolve(s, id, &err), err);
}

void infoByPath(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err, full;
    if (!canonical(s, c.p("filepath"), &full, &err)) {
        c.reply(1, err);
        return;
    }
    ensureRoot(s.schoolid);
    infoReply(c, s, findLive(s.schoolid, full), err);
}

QString roleName(int shenfen)
{
    switch (shenfen) {
    case 1: return QStringLiteral("学生");
    case 2: return QStringLiteral("教师");
    case 99: return QStringLiteral("管理员");
    default: return QStringLiteral("身份%1").arg(shenfen);
    }
}

void dirQx(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err;
    QVariantMap r = resolve(s, c.p("fileid"), &err);
    if (r.isEmpty()) {
        c.reply(1, err);
        return;
    }
    if (!r.value("isdir").toInt())
        r = byId(r.value("parentid").toLongLong());
    // The nearest folder up the tree that carries rights of its own.
    bool inherited = false;
    QList<QVariantMap> entries;
    for (QVariantMap cur = r; !cur.isEmpty();) {
        entries = svc().store.rows(QStringLiteral("SELECT * FROM perms WHERE fileid=? ORDER BY subjtype, subjid"), {cur.value("id")});
        if (!entries.isEmpty() || cur.value("parentid").toLongLong() == 0)
            break;
        inherited = true;
        cur = byId(cur.value("parentid").toLongLong());
    }
    QJsonArray arr;
    if (entries.isEmpty()) {
        for (int role : {2, 1, 99})
            arr.append(QJsonObject{{"qxuname", roleName(role)}, {"qxutype", 2}, {"qxuid", role},
                                   {"permissioncode", role == 99 ? QStringLiteral("111111111") : defaultCode(role)},
                                   {"isextend", true}});
    }
    for (const QVariantMap &e : entries) {
        const int type = e.value("subjtype").toInt();
        const QString name = type == 1
            ? svc().store.scalar(QStringLiteral("SELECT truename FROM users WHERE id=?"), {e.value("subjid")}).toString()
            : roleName(e.value("subjid").toInt());
        arr.append(QJsonObject{{"qxuname", name}, {"qxutype", type}, {"qxuid", e.value("subjid").toLongLong()},
                               {"permissioncode", e.value("code").toString()}, {"isextend", inherited}});
    }
    c.reply(0, QStringLiteral("获取成功"), arr);
}

void recycleList(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const QString key = c.p("searchkey").trimmed();
    // Everyone sees what they deleted; administrators see the whole bin.
    const auto rows = s.isAdmin()
        ? svc().store.rows(QStringLiteral("SELECT * FROM files WHERE schoolid=? AND deleted=1 AND delby=id ORDER BY deltime DESC"), {s.schoolid})
        : svc().store.rows(QStringLiteral("SELECT * FROM files WHERE schoolid=? AND deleted=1 AND delby=id AND deluserid=? ORDER BY deltime DESC"),
                           {s.schoolid, s.userid});
    Perms perms(s);
    QJsonArray arr;
    for (const QVariantMap &r : rows) {
        if (!key.isEmpty() && !r.value("name").toString().contains(key, Qt::CaseInsensitive))
            continue;
        QJsonObject o = record(r, perms, false);
        o["isadmin"] = s.isAdmin();
        arr.append(o);
    }
    c.reply(0, QStringLiteral("获取成功"), arr);
}

QJsonObject favRecord(const QVariantMap &fav, const QVariantMap &f)
{
    const bool dir = f.value("isdir").toInt() != 0;
    const QString name = f.value("name").toString();
    return QJsonObject{{"id", fav.value("fileid").toString()},
                       {"addtime", fav.value("addtime").toString()},
                       {"fileid", f.value("id").toString()},
                       {"filename", name},
                       {"filepath", f.value("fullpath").toString()},
                       {"fullpath", f.value("fullpath").toString()},
                       {"bankuai", "sharedisk"},
                       {"isdir", dir},
                       {"status", f.value("deleted").toInt() ? 1 : 0},
                       {"fileext", extOf(name, dir)},
                       {"filecategory", dir ? 0 : category(extOf(name, dir))},
                       {"filesize", f.value("size").toDouble()}};
}

QList<qint64> idsFromList(const Session &s, const QString &text, QString *err)
{
    QList<qint64> ids;
    const QJsonValue v = json::parse(text.toUtf8());
    QJsonArray arr = v.toArray();
    if (!v.isArray() && !text.trimmed().isEmpty())
        arr = QJsonArray{text.trimmed()};
    for (const QJsonValue &e : arr) {
        const QString key = e.isObject() ? e.toObject().value("fileid").toString(e.toObject().value("id").toString())
                                         : (e.isDouble() ? QString::number(qint64(e.toDouble())) : e.toString());
        const QVariantMap r = resolve(s, key, err);
        if (!r.isEmpty())
            ids.append(r.value("id").toLongLong());
    }
    return ids;
}

void favAdd(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err;
    const QList<qint64> ids = idsFromList(s, c.p("filelist"), &err);
    if (ids.isEmpty()) {
        c.reply(1, err.isEmpty() ? QStringLiteral("请选择要收藏的文件") : err);
        return;
    }
    for (qint64 id : ids)
        svc().store.exec(QStringLiteral("INSERT OR IGNORE INTO favourites(userid, fileid, addtime) VALUES(?,?,?)"),
                         {s.userid, id, nowText()});
    c.reply(0, QStringLiteral("添加收藏成功"), ids.size());
}

void favDel(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const QJsonValue v = json::parse(c.p("filelist").toUtf8());
    QJsonArray arr = v.isArray() ? v.toArray() : QJsonArray{c.p("filelist")};
    int n = 0;
    for (const QJsonValue &e : arr) {
        const QString key = e.isDouble() ? QString::number(qint64(e.toDouble())) : e.toString();
        bool num = false;
        qint64 id = key.toLongLong(&num);
        if (!num) {
            QString err;
            id = resolve(s, key, &err).value("id").toLongLong();
        }
        bool ok = false;
        svc().store.exec(QStringLiteral("DELETE FROM favourites WHERE userid=? AND fileid=?"), {s.userid, id}, &ok);
        n += ok ? 1 : 0;
    }
    c.reply(0, QStringLiteral("取消收藏成功"), n);
}

void favList(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const auto favs = svc().store.rows(QStringLiteral("SELECT * FROM favourites WHERE userid=? ORDER BY addtime DESC"), {s.userid});
    QJsonArray arr;
    for (const QVariantMap &fav : favs) {
        const QVariantMap f = byId(fav.value("fileid").toLongLong());
        if (f.isEmpty() || f.value("schoolid").toLongLong() != s.schoolid)
            continue;
        arr.append(favRecord(fav, f));
    }
    c.reply(0, QStringLiteral("获取成功"), arr);
}

void visitList(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const auto rows = svc().store.rows(
        QStringLiteral("SELECT v.*, u.truename FROM visits v JOIN users u ON u.id=v.userid WHERE v.userid=?"
                       " ORDER BY v.visittime DESC, v.id DESC LIMIT 200"),
        {s.userid});
    QJsonArray arr;
    for (const QVariantMap &v : rows) {
        const QVariantMap f = byId(v.value("fileid").toLongLong());
        if (f.isEmpty() || f.value("schoolid").toLongLong() != s.schoolid)
            continue;
        const bool dir = f.value("isdir").toInt() != 0;
        const QString name = f.value("name").toString();
        arr.append(QJsonObject{{"bankuai", "sharedisk"},
                               {"client", v.value("client").toInt()},
                               {"fileid", f.value("id").toString()},
                               {"filename", name},
                               {"fullpath", f.value("fullpath").toString()},
                               {"ip", v.value("ip").toString()},
                               {"username", v.value("truename").toString()},
                               {"visittime", v.value("visittime").toString()},
                               {"visittype", v.value("visittype").toString()},
                               {"fileext", extOf(name, dir)},
                               {"filecategory", dir ? 0 : category(extOf(name, dir))},
                               {"isdir", dir},
                               {"filesize", f.value("size").toDouble()},
                               {"status", f.value("deleted").toInt() ? 1 : 0}});
    }
    c.reply(0, QStringLiteral("获取成功"), QJsonObject{{"list", arr}, {"total", arr.size()}});
}

void tmpdirList(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const int size = std::max(1, c.p("pagesize").toInt() > 0 ? c.p("pagesize").toInt() : 9999);
    const int index = std::max(1, c.p("pageindex").toInt());
    const auto rows = svc().store.rows(QStringLiteral("SELECT * FROM tmpdirs WHERE schoolid=? ORDER BY id LIMIT ? OFFSET ?"),
                                       {s.schoolid, size, qint64(index - 1) * size});
    QJsonArray arr;
    for (const QVariantMap &r : rows)
        arr.append(QJsonObject{{"id", r.value("id").toString()}, {"tmpname", r.value("tmpname").toString()},
                               {"addtime", r.value("addtime").toString()}});
    const int total = svc().store.scalar(QStringLiteral("SELECT COUNT(*) FROM tmpdirs WHERE schoolid=?"), {s.schoolid}).toInt();
    c.reply(0, QStringLiteral("获取成功"), QJsonObject{{"list", arr}, {"total", total}});
}

void tmpdirInfo(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const QVariantMap r = svc().store.row(QStringLiteral("SELECT * FROM tmpdirs WHERE id=? AND schoolid=?"),
                                          {c.p("id").toLongLong(), s.schoolid});
    if (r.isEmpty()) {
        c.reply(1, QStringLiteral("模板不存在"));
        return;
    }
    c.reply(0, QStringLiteral("获取成功"),
            QJsonObject{{"id", r.value("id").toString()}, {"tmpname", r.value("tmpname").toString()},
                        {"dirs", r.value("dirs").toString()}, {"addtime", r.value("addtime").toString()}});
}

void timeNow(Call &c)
{
    const QString now = nowText();
    c.reply(0, now, now);
}

void notOffered(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    c.reply(1, QStringLiteral("该功能暂未开放"));
}

void chkBlockOnApi(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    c.reply(1, QStringLiteral("请向上传服务器校验分块"));
}

} // namespace

void registerRoutes(Router &r)
{
    r.add("/api/v1/wp/file/getlist", getList);
    r.add("/api/v1/wp/file/GetAllChild", getAllChild);
    r.add("/api/v1/wp/file/info", info);
    r.add("/api/v1/wp/file/infobypath", infoByPath);
    r.add("/api/v1/wp/file/getrecyclelist", recycleList);
    r.add("/api/v1/wp/file/ChkBlock", chkBlockOnApi);
    r.add("/api/v1/wp/qx/GetDirQx", dirQx);
    r.add("/api/v1/wp/favourite/add", favAdd);
    r.add("/api/v1/wp/favourite/del", favDel);
    r.add("/api/v1/wp/favourite/del2", favDel);
    r.add("/api/v1/wp/favourite/list", favList);
    r.add("/api/v1/wp/visit/list", visitList);
    r.add("/api/v1/wp/tmpdir/GetList", tmpdirList);
    r.add("/api/v1/wp/tmpdir/getinfo", tmpdirInfo);
    r.add("/api/v1/sys/time/getnow", timeNow);
    for (const char *p : {"add", "del", "info", "info2", "Verify", "filelist", "ChildList", "GetDownUrl", "list"})
        r.add(std::string("/api/v1/wp/share/") + p, notOffered);
}

} // namespace disk
