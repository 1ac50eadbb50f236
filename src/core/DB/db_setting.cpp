#include "DB/db_setting.h"

#include "context/userinfo.h"
#include "records/m_config.h"
#include "utils/vutils.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

Q_LOGGING_CATEGORY(lcSetting, "orvel.db.setting")

namespace {
std::atomic<int> connectionSerial{0};

const char *const kCreateUsers = "CREATE TABLE [users]([username] TEXT NOT NULL UNIQUE,[danweiid] TEXT,"
                                 "[logintype] TEXT ,[password] TEXT,[lastlogin] TEXT);";
const char *const kCreateOther = "CREATE TABLE [other]([value] TEXT ,[key] TEXT NOT NULL UNIQUE);";
const char *const kCreateVersion = "CREATE TABLE [version]([version] TEXT NOT NULL UNIQUE);";

bool exec(QSqlQuery &q)
{
    if (q.exec())
        return true;
    qCWarning(lcSetting) << "query failed:" << q.lastQuery() << q.lastError().text();
    return false;
}

// Our own JSON text is read without the reply-text repairs (which would, for
// instance, turn an upload server's "http://" into "http:").
QJsonDocument parseStored(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8());
}
}

db_setting *db_setting::instance()
{
    static db_setting *store = [] {
        const QString dir = VUtils::dataDir();
        QDir().mkpath(dir);
        return new db_setting(dir + QStringLiteral("/appSettings.db"));
    }();
    return store;
}

db_setting::db_setting(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
{
    // Time-based name as the other stores use, made unique within the process.
    m_connectionName = QStringLiteral("appSettings_%1_%2")
                           .arg(QDateTime::currentMSecsSinceEpoch())
                           .arg(connectionSerial.fetch_add(1));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(m_filePath);
    checkSchema();
    takeLasterror();
}

db_setting::~db_setting()
{
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool db_setting::open()
{
    if (!m_db.open()) {
        qCWarning(lcSetting) << "cannot open" << m_filePath << m_db.lastError().text();
        return false;
    }
    m_db.transaction();
    return true;
}

void db_setting::close(bool commit)
{
    if (commit)
        m_db.commit();
    else
        m_db.rollback();
    m_db.close();
}

bool db_setting::checkSchema()
{
    if (!open())
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("select name from Sqlite_master where type ='table' and name in('users','other','version')"));
    QStringList present;
    if (exec(q)) {
        while (q.next())
            present << q.value(0).toString();
    }
    bool ok = true;
    if (present.size() < 3) {
        const struct { const char *name; const char *sql; } tables[] = {
            {"users", kCreateUsers}, {"other", kCreateOther}, {"version", kCreateVersion}};
        for (const auto &t : tables) {
            if (present.contains(QLatin1String(t.name)))
                continue;
            QSqlQuery c(m_db);
            c.prepare(QString::fromLatin1(t.sql));
            ok = exec(c) && ok;
        }
        QSqlQuery v(m_db);
        v.prepare(QStringLiteral("select count(*) from version"));
        if (exec(v) && v.next() && v.value(0).toInt() == 0) {
            QSqlQuery ins(m_db);
            ins.prepare(QStringLiteral("insert into version (version)values(?)"));
            ins.addBindValue(QStringLiteral("1"));
            ok = exec(ins) && ok;
        }
    }
    close(ok);
    return ok;
}

bool db_setting::readOther(const QString &key, QString *value)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("select value from other where key =?"));
    q.addBindValue(key);
    if (exec(q) && q.next()) {
        *value = q.value(0).toString();
        return true;
    }
    return false;
}

bool db_setting::setOther(const QString &key, const QString &value)
{
    QString old;
    QSqlQuery q(m_db);
    if (!readOther(key, &old)) {
        q.prepare(QStringLiteral("insert into other(key,value) values(?,?)"));
        q.addBindValue(key);
        q.addBindValue(value);
    } else {
        q.prepare(QStringLiteral("update other set value = ? where key = ?"));
        q.addBindValue(value);
        q.addBindValue(key);
    }
    return exec(q);
}

void db_setting::takeLasterror()
{
    if (!open())
        return;
    QString value;
    bool ok = true;
    if (readOther(QStringLiteral("lasterror"), &value)) {
        lasterror = value;
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("update other set value = ? where key = ?"));
        q.addBindValue(QString(QLatin1String("")));
        q.addBindValue(QStringLiteral("lasterror"));
        ok = exec(q);
    }
    close(ok);
}

QJsonArray db_setting::getAll()
{
    QJsonArray out;
    if (!open())
        return out;
    VUtils *u = VUtils::instance();
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("select username,danweiid,logintype,password,lastlogin from users "
                             "order by cast(lastlogin as integer) desc, rowid desc"));
    if (exec(q)) {
        while (q.next()) {
            QJsonObject o;
            o.insert(QStringLiteral("username"), u->toDecrypt(q.value(0).toString()));
            o.insert(QStringLiteral("danweiid"), u->toDecrypt(q.value(1).toString()));
            o.insert(QStringLiteral("logintype"), q.value(2).toInt());
            o.insert(QStringLiteral("password"), u->toDecrypt(q.value(3).toString()));
            // Milliseconds since the epoch do not fit an int.
            o.insert(QStringLiteral("lastlogin"), q.value(4).toLongLong());
            out.append(o);
        }
    }
    close(true);
    return out;
}

bool db_setting::addUser(const QString &username, int danweiid, int logintype, const QString &password,
                         const QString &lastlogin)
{
    VUtils *u = VUtils::instance();
    const QString encName = u->toEncrypt(username);
    const QString encSchool = u->toEncrypt(QString::number(danweiid));
    const QString encPassword = u->toEncrypt(password);
    if (!open())
        return false;
    bool ok = true;
    {
        QSqlQuery del(m_db);
        del.prepare(QStringLiteral("delete from users where username = ?"));
        del.addBindValue(encName);
        ok = exec(del) && ok;
    }
    {
        QSqlQuery ins(m_db);
        ins.prepare(QStringLiteral("insert into users (username,danweiid,logintype,password,lastlogin) values(?,?,?,?,?)"));
        ins.addBindValue(encName);
        ins.addBindValue(encSchool);
        ins.addBindValue(logintype);
        ins.addBindValue(encPassword);
        ins.addBindValue(lastlogin);
        ok = exec(ins) && ok;
    }
    {
        // Ties on lastlogin keep the row written last.
        QSqlQuery trim(m_db);
        trim.prepare(QStringLiteral("delete from users where username not in (select username from users "
                                    "order by cast(lastlogin as integer) desc, rowid desc limit ?)"));
        trim.addBindValue(m_userLimit);
        ok = exec(trim) && ok;
    }
    close(ok);
    qCDebug(lcSetting) << Q_FUNC_INFO << "logintype" << logintype << "ok" << ok;
    return ok;
}

bool db_setting::addUser()
{
    UserInfo *user = UserInfo::instance();
    return addUser(user->username, user->schoolid, user->logintype, user->password,
                   QString::number(QDateTime::currentMSecsSinceEpoch()));
}

bool db_setting::removeUser(const QString &username)
{
    const QString encName = VUtils::instance()->toEncrypt(username);
    if (!open())
        return false;
    QSqlQuery del(m_db);
    del.prepare(QStringLiteral("delete from users where username = ?"));
    del.addBindValue(encName);
    bool ok = exec(del);
    QSqlQuery upd(m_db);
    upd.prepare(QStringLiteral("update users set logintype = ?  where logintype = ?"));
    upd.addBindValue(1);
    upd.addBindValue(2);
    ok = exec(upd) && ok;
    close(ok);
    return ok;
}

bool db_setting::disableAutoLogin()
{
    if (!open())
        return false;
    QSqlQuery upd(m_db);
    upd.prepare(QStringLiteral("update users set logintype = ?  where logintype = ?"));
    upd.addBindValue(1);
    upd.addBindValue(2);
    const bool ok = exec(upd);
    close(ok);
    return ok;
}

void db_setting::getConfig()
{
    if (!open())
        return;
    QString value;
    const bool found = readOther(QStringLiteral("config"), &value);
    close(true);
    if (!found) {
        setConfig();
        return;
    }
    const QJsonObject config = parseStored(VUtils::instance()->toDecrypt(value)).object();
    if (config.isEmpty()) {
        // Unreadable (say, encrypted with another key): keep the defaults
        // rather than zero thread counts, and store them.
        qCWarning(lcSetting) << "stored settings unreadable, defaults stored";
        setConfig();
        return;
    }
    M_config::instance()->fromJson(config);
}

bool db_setting::setConfig()
{
    const QString text = QString::fromUtf8(QJsonDocument(M_config::instance()->toJson()).toJson());
    const QString enc = VUtils::instance()->toEncrypt(text);
    if (!open())
        return false;
    const bool ok = setOther(QStringLiteral("config"), enc);
    close(ok);
    return ok;
}

bool db_setting::setLasterror(const QString &text)
{
    if (!open())
        return false;
    const bool ok = setOther(QStringLiteral("lasterror"), text);
    close(ok);
    return ok;
}

bool db_setting::setCancle(const QJsonArray &array)
{
    const QString text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (!open())
        return false;
    const bool ok = setOther(QStringLiteral("cancle"), text);
    close(ok);
    return ok;
}

QJsonArray db_setting::getCancle()
{
    if (!open())
        return QJsonArray();
    QString value;
    readOther(QStringLiteral("cancle"), &value);
    close(true);
    return parseStored(value).array();
}
