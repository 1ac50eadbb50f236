#include "store.h"

#include "crypto.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <QLoggingCategory>
#include <atomic>

Q_LOGGING_CATEGORY(lcStore, "orvel.server.store")

namespace {
std::atomic<int> g_connSeq{0};

const char *const kSchema[] = {
    // version 1
    "CREATE TABLE users(id INTEGER PRIMARY KEY, loginname TEXT UNIQUE COLLATE NOCASE, salt TEXT,"
    " pwhash TEXT, truename TEXT, namenote TEXT, sex INTEGER, shenfen INTEGER, face TEXT,"
    " birthday INTEGER, mobile TEXT, logins INTEGER DEFAULT 0, logintime TEXT)",
    "CREATE TABLE schools(id INTEGER PRIMARY KEY, schoolname TEXT, jiancheng TEXT)",
    "CREATE TABLE user_schools(userid INTEGER, schoolid INTEGER, PRIMARY KEY(userid, schoolid))",
    "CREATE TABLE login_tokens(token TEXT PRIMARY KEY, userid INTEGER, created INTEGER, used INTEGER DEFAULT 0)",
    "CREATE TABLE sessions(token TEXT PRIMARY KEY, userid INTEGER, schoolid INTEGER DEFAULT 0,"
    " created INTEGER, superseded INTEGER DEFAULT 0, ended INTEGER DEFAULT 0)",
    "CREATE TABLE files(id INTEGER PRIMARY KEY, schoolid INTEGER, parentid INTEGER, name TEXT,"
    " isdir INTEGER, size INTEGER DEFAULT 0, sha256 TEXT, fullpath TEXT, lpath TEXT,"
    " addtime TEXT, adduserid INTEGER, addusername TEXT, updatetime TEXT, updateuserid INTEGER,"
    " updateusername TEXT, banben INTEGER DEFAULT 1, deleted INTEGER DEFAULT 0, delby INTEGER DEFAULT 0,"
    " deltime TEXT, deluserid INTEGER, delusername TEXT)",
    "CREATE INDEX files_parent ON files(parentid, deleted)",
    "CREATE INDEX files_lpath ON files(lpath)",
    "CREATE INDEX files_sha ON files(sha256)",
    "CREATE TABLE perms(fileid INTEGER, subjtype INTEGER, subjid INTEGER, code TEXT,"
    " PRIMARY KEY(fileid, subjtype, subjid))",
    "CREATE TABLE acts(id TEXT PRIMARY KEY, userid INTEGER, schoolid INTEGER, act INTEGER,"
    " acttype TEXT, status INTEGER, params TEXT, data TEXT, result TEXT, ip TEXT, username TEXT,"
    " client INTEGER, created INTEGER, due INTEGER, donetime INTEGER)",
    "CREATE INDEX acts_done ON acts(schoolid, status, donetime)",
    "CREATE TABLE uploads(evtid TEXT PRIMARY KEY, server INTEGER, folderid INTEGER, filename TEXT,"
    " filesize INTEGER, blocksize INTEGER, totalblocknum INTEGER, md5 TEXT, uptype INTEGER)",
    "CREATE TABLE upload_blocks(evtid TEXT, block INTEGER, PRIMARY KEY(evtid, block))",
    "CREATE TABLE favourites(userid INTEGER, fileid INTEGER, addtime TEXT, PRIMARY KEY(userid, fileid))",
    "CREATE TABLE visits(id INTEGER PRIMARY KEY, userid INTEGER, fileid INTEGER, visittime TEXT,"
    " ip TEXT, client INTEGER, visittype TEXT)",
    "CREATE TABLE tmpdirs(id INTEGER PRIMARY KEY, schoolid INTEGER, tmpname TEXT, dirs TEXT, addtime TEXT)",
};
} // namespace

bool Store::open(const QString &dataDir, QString *error)
{
    m_dataDir = QDir(dataDir).absolutePath();
    QDir d;
    if (!d.mkpath(m_dataDir) || !d.mkpath(m_dataDir + "/blobs") || !d.mkpath(uploadDir())
        || !d.mkpath(m_dataDir + "/tmp")) {
        *error = QStringLiteral("cannot create data folder %1").arg(m_dataDir);
        return false;
    }
    m_dbPath = m_dataDir + "/orvel.db";
    Tx tx(*this);
    if (!db().isOpen()) {
        *error = QStringLiteral("cannot open %1").arg(m_dbPath);
        return false;
    }
    if (!migrate(error))
        return false;
    tx.commit();
    return true;
}

QSqlDatabase Store::db()
{
    // One connection per thread: Qt ties a connection to the thread that made it.
    thread_local QString name;
    if (name.isEmpty()) {
        name = QStringLiteral("orvel-%1").arg(++g_connSeq);
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        c.setDatabaseName(m_dbPath);
        c.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        if (!c.open())
            qCWarning(lcStore) << "open failed" << c.lastError().text();
        QSqlQuery q(c);
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
    }
    return QSqlDatabase::database(name, false);
}

bool Store::migrate(QString *error)
{
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS meta(k TEXT PRIMARY KEY, v TEXT)"));
    const int have = scalar(QStringLiteral("SELECT v FROM meta WHERE k='schema'")).toInt();
    auto step = [&](const QString &stmt) {
        bool ok = false;
        exec(stmt, {}, &ok);
        if (!ok)
            *error = QStringLiteral("schema step failed: %1").arg(stmt);
        return ok;
    };
    if (have < 1) {
        for (const char *stmt : kSchema)
            if (!step(QString::fromLatin1(stmt)))
                return false;
        exec(QStringLiteral("INSERT OR REPLACE INTO meta(k, v) VALUES('schema', '1')"));
    }
    if (have < 2) {
        // The open acts: every block post asks for the largest block of the
        // open uploads, and the act runner for the open acts by due time;
        // without it both read every act ever made.
        if (!step(QStringLiteral("CREATE INDEX IF NOT EXISTS acts_open ON acts(status, due)")))
            return false;
        exec(QStringLiteral("INSERT OR REPLACE INTO meta(k, v) VALUES('schema', '2')"));
    }
    return true;
}

QSqlQuery Store::exec(const QString &sql, const QVariantList &binds, bool *ok)
{
    std::lock_guard<std::recursive_mutex> lk(m_mutex);
    QSqlQuery q(db());
    q.setForwardOnly(true);
    bool good = q.prepare(sql);
    if (good) {
        for (const QVariant &b : binds)
            q.addBindValue(b);
        good = q.exec();
    }
    if (!good)
        qCWarning(lcStore) << "sql failed:" << sql << q.lastError().text();
    if (ok)
        *ok = good;
    return q;
}

QVariant Store::scalar(const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = exec(sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

QVariantMap Store::row(const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = exec(sql, binds);
    QVariantMap m;
    if (q.next()) {
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i)
            m.insert(r.fieldName(i), q.value(i));
    }
    return m;
}

QList<QVariantMap> Store::rows(const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = exec(sql, binds);
    QList<QVariantMap> out;
    while (q.next()) {
        const QSqlRecord r = q.record();
        QVariantMap m;
        for (int i = 0; i < r.count(); ++i)
            m.insert(r.fieldName(i), q.value(i));
        out.append(m);
    }
    return out;
}

qint64 Store::insert(const QString &sql, const QVariantList &binds)
{
    bool ok = false;
    QSqlQuery q = exec(sql, binds, &ok);
    return ok ? q.lastInsertId().toLongLong() : -1;
}

bool Store::insertMany(const QString &sql, const QList<QVariantList> &rows)
{
    std::lock_guard<std::recursive_mutex> lk(m_mutex);
    QSqlQuery q(db());
    if (!q.prepare(sql)) {
        qCWarning(lcStore) << "sql failed:" << sql << q.lastError().text();
        return false;
    }
    for (const QVariantList &r : rows) {
        for (int i = 0; i < r.size(); ++i)
            q.bindValue(i, r.at(i));
        if (!q.exec()) {
            qCWarning(lcStore) << "sql failed:" << sql << q.lastError().text();
            return false;
        }
    }
    return true;
}

Store::Tx::Tx(Store &s) : m_s(s), m_lock(s.m_mutex)
{
    if (m_s.m_depth++ == 0) {
        m_outer = true;
        m_s.db().transaction();
    }
}

Store::Tx::~Tx()
{
    if (m_outer && !m_done)
        m_s.db().rollback();
    --m_s.m_depth;
}

void Store::Tx::commit()
{
    if (m_outer && !m_done) {
        if (!m_s.db().commit())
            qCWarning(lcStore) << "commit failed" << m_s.db().lastError().text();
    }
    m_done = true;
}

QString Store::blobPath(const QString &sha256) const
{
    return m_dataDir + "/blobs/" + sha256.left(2) + "/" + sha256;
}

bool Store::adoptBlob(const QString &tmpPath, const QString &sha256)
{
    const QString dst = blobPath(sha256);
    QDir().mkpath(QFileInfo(dst).absolutePath());
    if (QFile::exists(dst)) {
        QFile::remove(tmpPath);
        return true;
    }
    return QFile::rename(tmpPath, dst);
}

bool Store::writeBlob(const QByteArray &data, QString *sha256)
{
    *sha256 = crypto::sha256Hex(data);
    const QString dst = blobPath(*sha256);
    if (QFile::exists(dst))
        return true;
    QDir().mkpath(QFileInfo(dst).absolutePath());
    const QString tmp = m_dataDir + "/tmp/" + crypto::randomHex(8);
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        return false;
    f.close();
    return QFile::rename(tmp, dst) || QFile::exists(dst);
}

void Store::dropBlobIfUnused(const QString &sha256)
{
    if (sha256.isEmpty())
        return;
    if (scalar(QStringLiteral("SELECT COUNT(*) FROM files WHERE sha256=?"), {sha256}).toInt() == 0)
        QFile::remove(blobPath(sha256));
}
