#include "DB/db_self.h"
#include "DB/db_open.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <QThreadPool>

#include "context/vglobalparameter.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcDbSelf, "orvel.db.self")

namespace {

const char *const kInitFailed = "数据库更新异常，请重启再试";

// A vacuum rewrites the whole file: after a batch of inserts there is
// usually nothing to give back, so it runs only once a quarter of the file
// is free pages (rows deleted by cancels and cleared records).
bool vacuumIfWorthIt(QSqlDatabase &db, bool always = false)
{
    OpenDb open(db);
    if (!open.ok())
        return false;
    QSqlQuery q(db);
    if (!always) {
        if (!q.exec(QStringLiteral("PRAGMA freelist_count")) || !q.next())
            return false;
        const qint64 freePages = q.value(0).toLongLong();
        if (!q.exec(QStringLiteral("PRAGMA page_count")) || !q.next())
            return false;
        const qint64 pages = q.value(0).toLongLong();
        q.finish();
        if (freePages == 0 || freePages * 4 < pages)
            return false;
    }
    if (!q.exec(QStringLiteral("vacuum"))) {
        qCWarning(lcDbSelf) << "vacuum failed" << db.databaseName() << q.lastError().text();
        return false;
    }
    return true;
}

} // namespace

db_self *db_self::instance()
{
    static db_self *self = [] {
        auto *s = new db_self(VGlobalParameter::instance()->userPath());
        s->connectHub();
        return s;
    }();
    return self;
}

db_self::db_self(const QString &userDir, QObject *parent) : QObject(parent), m_userDir(userDir)
{
    m_prefix = VUtils::uuid();
    m_writer = new QThreadPool(this);
    m_writer->setMaxThreadCount(1);
    QDir().mkpath(m_userDir);
    m_errorPath = m_userDir + QStringLiteral("/error.db");
    m_settingPath = m_userDir + QStringLiteral("/setting.db");
    m_synPath = m_userDir + QStringLiteral("/syn.db");
    m_filePath = m_userDir + QStringLiteral("/file.db");

    m_errorDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_prefix + QStringLiteral("error"));
    m_errorDb.setDatabaseName(m_errorPath);
    m_settingDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_prefix + QStringLiteral("setting"));
    m_settingDb.setDatabaseName(m_settingPath);
    m_synDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_prefix + QStringLiteral("syn"));
    m_synDb.setDatabaseName(m_synPath);
    m_fileDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_prefix + QStringLiteral("file"));
    m_fileDb.setDatabaseName(m_filePath);

    m_ready = initFileDb() && initSynDb();
    if (!m_ready) {
        m_initError = QString::fromUtf8(kInitFailed);
        qCWarning(lcDbSelf) << "store set-up failed" << m_userDir;
        QMetaObject::invokeMethod(this, [this] { emit signalInitError(m_initError); }, Qt::QueuedConnection);
    }
}

db_self::~db_self()
{
    m_writer->waitForDone();
    {
        // The writer's last step ran under this lock: nothing of it is left
        // running once the lock is ours.
        QMutexLocker lock(&m_storedLock);
        m_stored.clear();
    }
    const QStringList names{m_errorDb.connectionName(), m_settingDb.connectionName(), m_synDb.connectionName(),
                            m_fileDb.connectionName()};
    m_errorDb = m_settingDb = m_synDb = m_fileDb = QSqlDatabase();
    for (const QString &n : names)
        QSqlDatabase::removeDatabase(n);
}

void db_self::connectHub()
{
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalDbselfAddFiles, this, &db_self::addFiles,
            Qt::UniqueConnection);
}

void db_self::reportError(const QString &text)
{
    qCWarning(lcDbSelf) << text;
    emit VGlobalConnect::instance()->signalLayer_err(text, false);
}

bool db_self::initFileDb()
{
    if (!openKept(m_fileDb))
        qCDebug(lcDbSelf) << "file.db opened per operation";
    const bool ok = setUpFileDb();
    if (!ok)
        m_fileDb.close(); // an unusable file is not held
    return ok;
}

bool db_self::setUpFileDb()
{
    OpenDb open(m_fileDb);
    if (!open.ok()) {
        qCWarning(lcDbSelf) << "file.db does not open" << m_fileDb.lastError().text();
        return false;
    }
    QSqlQuery q(m_fileDb);
    if (!q.exec(QStringLiteral(
            "select count(*) as c from Sqlite_master where type ='table' and name in('log','version')"))
        || !q.next()) {
        qCWarning(lcDbSelf) << "file.db unreadable" << q.lastError().text();
        return false;
    }
    if (q.value(0).toInt() < 2) {
        m_fileDb.transaction();
        QSqlQuery c(m_fileDb);
        const bool ok = c.exec(QStringLiteral("CREATE TABLE [log]("
                                              "[id] INTEGER PRIMARY KEY,"
                                              "[fileid] TEXT,"
                                              "[filename] TEXT,"
                                              "[type] INT,"
                                              "[status] INT,"
                                              "[localpath] TEXT,"
                                              "[serverpath] TEXT,"
                                              "[error] TEXT,"
                                              "[addtime] TEXT,"
                                              "[md5] TEXT);"))
                        && c.exec(QStringLiteral("CREATE TABLE [version]("
                                                 "[version] TEXT NOT NULL UNIQUE);"))
                        && c.exec(QStringLiteral("insert into version (version)values('1')"));
        if (!ok) {
            qCWarning(lcDbSelf) << "file.db schema failed" << c.lastError().text();
            m_fileDb.rollback();
            return false;
        }
        m_fileDb.commit();
    }
    upgradeFileDb(m_fileDb);
    QSqlQuery v(m_fileDb);
    return v.exec(QStringLiteral("select version from version")) && v.next();
}

int db_self::fileDbVersion()
{
    OpenDb open(m_fileDb);
    if (!open.ok())
        return -1;
    QSqlQuery q(m_fileDb);
    if (!q.exec(QStringLiteral("select version from version")) || !q.next())
        return -1;
    return q.value(0).toInt();
}

void db_self::upgradeFileDb(QSqlDatabase &db)
{
    struct Step
    {
        int from;
        QStringList changes; // statements of the step
        QString check;       // proves the change, empty = none
        QString bump;        // moves the version on
    };
    const QList<Step> steps{
        {1, {QStringLiteral("alter table log add [filesize] TEXT")}, QStringLiteral("select filesize from log limit 1"),
         QStringLiteral("update version set version = 2")},
        {2, {QStringLiteral("alter table log add [donetime] TEXT")}, QStringLiteral("select donetime from log limit 1"),
         QStringLiteral("update version set version = 3")},
        {3,
         {QStringLiteral("alter table log add [evtid] TEXT"), QStringLiteral("alter table log add [block] int"),
          QStringLiteral("alter table log add [upserver] TEXT")},
         QStringLiteral("select evtid,block,upserver from log limit 1"), QStringLiteral("update version set version = 4")},
        {4, {QStringLiteral("alter table log add [ismc] INT")}, QStringLiteral("select ismc from log limit 1"),
         QStringLiteral("update version set version = 5")},
        {5,
         {QStringLiteral("CREATE TABLE [other]("
                         "[value] TEXT ,"
                         "[key] TEXT NOT NULL UNIQUE);")},
         QString(), QStringLiteral("update version set version = 6")},
        {6,
         {QStringLiteral("CREATE INDEX [index1]"
                         "ON [log]("
                         "[fileid],  [localpath], [serverpath]);")},
         QString(), QStringLiteral("update version set version = 7")},
        {7, {QStringLiteral("alter table log add [isedit] INT")}, QStringLiteral("select isedit from log limit 1"),
         QStringLiteral("update version set version = 8")},
    };
    for (const Step &s : steps) {
        QSqlQuery v(db);
        if (!v.exec(QStringLiteral("select version from version")) || !v.next())
            return;
        if (v.value(0).toInt() != s.from)
            continue;
        v.finish();
        // A step is all or nothing: a failed check leaves the old version so
        // the step is tried again at the next start.
        db.transaction();
        QSqlQuery q(db);
        bool ok = true;
        for (const QString &sql : s.changes) {
            if (!q.exec(sql)) {
                qCWarning(lcDbSelf) << "upgrade step" << s.from << q.lastError().text();
                ok = false;
                break;
            }
        }
        if (ok && !s.check.isEmpty())
            ok = q.exec(s.check);
        if (ok)
            ok = q.exec(s.bump);
        q.finish();
        if (ok) {
            db.commit();
            qCDebug(lcDbSelf) << "file.db upgraded from" << s.from;
        } else {
            db.rollback();
        }
    }
}

bool db_self::initSynDb()
{
    OpenDb open(m_synDb);
    if (!open.ok()) {
        qCWarning(lcDbSelf) << "syn.db does not open" << m_synDb.lastError().text();
        return false;
    }
    QSqlQuery q(m_synDb);
    if (!q.exec(QStringLiteral(
            "select count(*) as c from Sqlite_master where type ='table' and name in('log','version','history')"))
        || !q.next()) {
        qCWarning(lcDbSelf) << "syn.db unreadable" << q.lastError().text();
        return false;
    }
    if (q.value(0).toInt() >= 3)
        return true;
    q.finish();
    m_synDb.transaction();
    QSqlQuery c(m_synDb);
    const bool ok = c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS [log]("
                                          "[id] TEXT PRIMARY KEY,"
                                          "[dotime] TEXT,"
                                          "[addusername] TEXT,"
                                          "[fullpath] TEXT,"
                                          "[fileid] TEXT,"
                                          "[domsg] TEXT,"
                                          "[dotype] INT,"
                                          "[status] INT,"
                                          "[errmsg] TEXT,"
                                          "[owner] TEXT)"))
                    && c.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS [index1]"
                                             "ON [log]("
                                             "[dotime],  [status],[owner]);"))
                    && c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS [history]("
                                             "[id] TEXT PRIMARY KEY,"
                                             "[dotime] TEXT,"
                                             "[addusername] TEXT,"
                                             "[localpath] TEXT,"
                                             "[serverpath] TEXT,"
                                             "[fileid] TEXT,"
                                             "[dotype] INT,"
                                             "[owner] TEXT,"
                                             "[pid] TEXT,"
                                             "[fileext] TEXT,"
                                             "[isdir] INT,"
                                             "[filesize] INT,"
                                             "[md5] TEXT,"
                                             "[filename] TEXT)"))
                    && c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS [version]("
                                             "[version] TEXT NOT NULL UNIQUE);"))
                    && c.exec(QStringLiteral("insert or ignore into version (version)values('1')"));
    if (!ok) {
        qCWarning(lcDbSelf) << "syn.db schema failed" << c.lastError().text();
        m_synDb.rollback();
        return false;
    }
    return m_synDb.commit();
}

M_db_file db_self::fromQuery(const QSqlQuery &q)
{
    return M_db_file(q.record());
}

QList<M_db_file> db_self::readList(const QString &sql, const QString &failText, bool resetStatus)
{
    QList<M_db_file> out;
    OpenDb open(m_fileDb);
    if (!open.ok()) {
        reportError(failText);
        return out;
    }
    QSqlQuery q(m_fileDb);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        qCWarning(lcDbSelf) << sql << q.lastError().text();
        reportError(failText);
        return out;
    }
    while (q.next()) {
        M_db_file f = fromQuery(q);
        if (resetStatus)
            f.status = 0; // interrupted transfers come back as stopped
        out.append(f);
    }
    return out;
}

QList<M_db_file> db_self::getDownloads()
{
    return readList(QStringLiteral("select * from log where status <> 99 and type = 1 order by id"),
                    QStringLiteral("下载历史数据读取失败"), true);
}

QList<M_db_file> db_self::getUploads()
{
    return readList(QStringLiteral("select * from log where status <> 99 and type = 2 order by id"),
                    QStringLiteral("上传历史数据读取失败"), true);
}

QList<M_db_file> db_self::getDone()
{
    return readList(QStringLiteral("select * from ( select * from log where status =99 order by donetime desc "
                                   "limit 1000) order by donetime asc"),
                    QStringLiteral("下载完成历史数据读取失败"), false);
}

M_db_file db_self::getFile(int id)
{
    OpenDb open(m_fileDb);
    if (!open.ok())
        return M_db_file();
    QSqlQuery q(m_fileDb);
    q.prepare(QStringLiteral("select * from log where id = ?"));
    q.addBindValue(id);
    if (q.exec() && q.next())
        return fromQuery(q);
    return M_db_file();
}

bool db_self::exec(const QString &sql, const QVariantList &values, const QString &failText, int *rowsAffected)
{
    OpenDb open(m_fileDb);
    if (!open.ok()) {
        if (!failText.isEmpty())
            reportError(failText);
        return false;
    }
    m_fileDb.transaction();
    QSqlQuery q(m_fileDb);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        qCWarning(lcDbSelf) << sql << q.lastError().text();
        m_fileDb.rollback();
        if (!failText.isEmpty())
            reportError(failText);
        return false;
    }
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    q.finish();
    return m_fileDb.commit();
}

// A row that is already finished, or gone (cancelled meanwhile), is not
// reported again: the finished list gets no blank or doubled rows.
bool db_self::setDone(int id, const QString &filename, const QString &localpath)
{
    int changed = 0;
    const bool ok = exec(QStringLiteral("update log set status = 99,donetime = ?,filename=?,localpath=? where id = ? "
                                        "and status <> 99"),
                         {QString::number(QDateTime::currentMSecsSinceEpoch()), filename, localpath, id}, QString(),
                         &changed);
    if (ok && changed > 0)
        emit VGlobalConnect::instance()->signalNewFileForDone(getFile(id));
    return ok;
}

bool db_self::setDoneMc(int id, int ismc)
{
    int changed = 0;
    const bool ok = exec(QStringLiteral("update log set status = 99,donetime = ?,ismc = ? where id = ? and status <> 99"),
                         {QString::number(QDateTime::currentMSecsSinceEpoch()), ismc, id}, QString(), &changed);
    if (ok && changed > 0)
        emit VGlobalConnect::instance()->signalNewFileForDone(getFile(id));
    return ok;
}

bool db_self::updateFile(const M_db_file &f)
{
    return exec(QStringLiteral("update log set fileid=?,filename=?,type=?,status=?,localpath=?,serverpath=?,error=?,"
                               "md5=?,addtime=?,filesize=?,donetime=?,evtid=?,block=?,upserver=?,ismc=? where id =?"),
                {f.fileid, f.filename, f.type, f.status, f.localpath, f.serverpath, f.error, f.md5,
                 QString::number(f.addtime), QString::number(f.filesize), QString::number(f.donetime), f.evtid,
                 f.block, f.upserver, f.ismc, f.id});
}

bool db_self::deleteFile(int id)
{
    return exec(QStringLiteral("delete from log where id in (?)"), {id});
}

bool db_self::deleteFiles(const QList<int> &ids)
{
    if (ids.isEmpty())
        return true;
    OpenDb open(m_fileDb);
    if (!open.ok())
        return false;
    m_fileDb.transaction();
    QSqlQuery q(m_fileDb);
    q.prepare(QStringLiteral("delete from log where id = ?"));
    QVariantList list;
    for (int id : ids)
        list << id;
    q.addBindValue(list);
    if (!q.execBatch()) {
        qCWarning(lcDbSelf) << "delete failed" << q.lastError().text();
        m_fileDb.rollback();
        return false;
    }
    q.finish();
    return m_fileDb.commit();
}

bool db_self::clearDoneRows()
{
    return exec(QStringLiteral("delete from log where status=99"), {});
}

bool db_self::clearDownloadRows()
{
    return exec(QStringLiteral("delete from log where type = 1 and  status<>99"), {});
}

bool db_self::clearUploadRows()
{
    return exec(QStringLiteral("delete from log where type = 2 and  status<>99"), {});
}

void db_self::vacuum()
{
    vacuumIfWorthIt(m_fileDb, true);
    vacuumIfWorthIt(m_synDb, true);
}

void db_self::vacuumIfNeeded()
{
    vacuumIfWorthIt(m_fileDb);
    vacuumIfWorthIt(m_synDb);
}

db_self::Batch db_self::storeBatch(QSqlDatabase &db, const QList<M_db_file> &list)
{
    Batch out;
    OpenDb open(db);
    if (!open.ok())
        return out;
    out.opened = true;
    const QString now = QString::number(QDateTime::currentMSecsSinceEpoch());
    QVariantList fileid, filename, type, status, localpath, serverpath, error, md5, addtime, filesize, isedit;
    for (const M_db_file &f : list) {
        fileid << f.fileid;
        filename << f.filename;
        type << f.type;
        status << f.status;
        localpath << f.localpath;
        serverpath << f.serverpath;
        error << f.error;
        md5 << f.md5;
        addtime << now;
        filesize << QString::number(qint64(f.filesize));
        isedit << (f.isedit ? 1 : 0);
    }
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into log (fileid,filename,type,status,localpath,serverpath,error,md5,addtime,"
                             "filesize,isedit) values (?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariantList *col :
         {&fileid, &filename, &type, &status, &localpath, &serverpath, &error, &md5, &addtime, &filesize, &isedit})
        q.addBindValue(*col);
    bool ok = q.execBatch();
    qint64 first = 0;
    QSet<int> dropped;
    if (ok) {
        QSqlQuery last(db);
        ok = last.exec(QStringLiteral("select id from log where rowid = last_insert_rowid()")) && last.next();
        if (ok)
            first = last.value(0).toLongLong() - list.size();
    }
    // New rows that repeat an unfinished older transfer are dropped. Upload
    // rows carry no file id (NULL), so the ids compare with "is": with "="
    // a repeated upload would never count as one.
    const QString dupCondition = QStringLiteral(
        "id>? and exists(select 1 from log b where a.fileid is b.fileid and a.localpath=b.localpath and "
        "a.serverpath = b.serverpath  and a.type=b.type and b.status <> 99 and b.id<=?)");
    if (ok) {
        QSqlQuery sel(db);
        sel.prepare(QStringLiteral("select id from log a where ") + dupCondition);
        sel.addBindValue(first);
        sel.addBindValue(first);
        ok = sel.exec();
        while (ok && sel.next())
            dropped.insert(sel.value(0).toInt());
    }
    if (ok && !dropped.isEmpty()) {
        QSqlQuery del(db);
        del.prepare(QStringLiteral("delete from log where id in (select id from log a where ") + dupCondition
                    + QStringLiteral(")"));
        del.addBindValue(first);
        del.addBindValue(first);
        ok = del.exec();
    }
    q.finish();
    if (!ok || !db.commit()) {
        qCWarning(lcDbSelf) << "batch insert failed" << q.lastError().text() << db.lastError().text();
        db.rollback();
        return out;
    }
    out.ok = true;
    out.kept.reserve(list.size());
    for (int i = 0; i < list.size(); ++i) {
        const int id = int(first) + i + 1;
        if (dropped.contains(id))
            continue;
        M_db_file f = list.at(i);
        f.id = id;
        f.addtime = now.toLongLong();
        out.kept.append(f);
    }
    return out;
}

int db_self::finishBatch(const Batch &b, int index, bool islast)
{
    if (!b.ok) {
        reportError(QStringLiteral("加入下载队列失败"));
        emit signalAddCount(index, 0, islast);
        return 0;
    }
    if (!b.kept.isEmpty()) {
        if (b.kept.first().type == 1)
            emit VGlobalConnect::instance()->signalNewFileForDownload(b.kept);
        else
            emit VGlobalConnect::instance()->signalNewFileForUpload(b.kept);
    }
    emit signalAddCount(index, b.kept.size(), islast);
    return b.kept.size();
}

int db_self::addFiles(QList<M_db_file> list, int index, bool islast)
{
    if (list.isEmpty()) {
        emit signalAddCount(index, 0, islast);
        return 0;
    }
    const Batch b = storeBatch(m_fileDb, list);
    if (b.ok)
        vacuumIfNeeded();
    return finishBatch(b, index, islast);
}

db_self::Batch db_self::storeBatchApart(const QString &filePath, const QString &synPath, const QString &name,
                                        const QList<M_db_file> &list)
{
    Batch b;
    {
        // A connection belongs to the thread that made it: one per batch.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(filePath);
        QSqlDatabase syn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name + QStringLiteral("syn"));
        syn.setDatabaseName(synPath);
        b = storeBatch(db, list);
        if (b.ok) {
            vacuumIfWorthIt(db);
            vacuumIfWorthIt(syn);
        }
    }
    QSqlDatabase::removeDatabase(name);
    QSqlDatabase::removeDatabase(name + QStringLiteral("syn"));
    return b;
}

void db_self::addFilesInBackground(QList<M_db_file> list, int index, bool islast)
{
    // One writer thread: batches are stored, and reported, in the order of the calls.
    ++m_writesPending;
    const QString filePath = m_filePath;
    const QString synPath = m_synPath;
    const QString name = m_prefix + QStringLiteral("writer");
    m_writer->start([this, list, index, islast, filePath, synPath, name] {
        Batch b;
        if (list.isEmpty())
            b.opened = b.ok = true;
        else
            b = storeBatchApart(filePath, synPath, name, list);
        // Reported on the store's own thread. The batch is handed over under
        // a lock of ours and the posted call carries no data: a functor
        // posted from here would be built on this thread and read on the
        // store's, ordered only by Qt's event queue, whose locks a thread
        // checker cannot see. Posting under the lock as well lets the
        // destructor (which waits for this job, then takes the lock) know the
        // job is over; a destroyed store drops what was posted to it.
        QMutexLocker lock(&m_storedLock);
        m_stored.append({b, index, islast});
        QMetaObject::invokeMethod(this, "reportStored", Qt::QueuedConnection);
    });
}

void db_self::reportStored()
{
    QList<Stored> done;
    {
        QMutexLocker lock(&m_storedLock);
        done.swap(m_stored);
    }
    // A post may find the batches of later posts here already, and a later
    // post then none: one writer, so they are in the order of the calls.
    for (const Stored &s : qAsConst(done)) {
        --m_writesPending;
        finishBatch(s.batch, s.index, s.islast);
    }
}

// ---- key-value state ------------------------------------------------------

QString db_self::otherKeyName(OtherKey key)
{
    switch (key) {
    case other_cancle:
        return QStringLiteral("cancle");
    case other_config:
        return QStringLiteral("config");
    case other_adminbak:
        return QStringLiteral("adminbak");
    case other_lastvisit:
        return QStringLiteral("lastvisit");
    }
    return QString();
}

QString db_self::getOther(OtherKey key)
{
    const QString name = otherKeyName(key);
    if (name.isEmpty())
        return QString();
    OpenDb open(m_fileDb);
    if (!open.ok()) {
        qCWarning(lcDbSelf) << "file.db does not open" << m_fileDb.lastError().text();
        return QString();
    }
    QSqlQuery q(m_fileDb);
    q.prepare(QStringLiteral("select value from other where key =?"));
    q.addBindValue(name);
    if (!q.exec()) {
        qCWarning(lcDbSelf) << "reading" << name << "failed" << q.lastError().text();
        return QString();
    }
    if (!q.next())
        return QString();
    const QString stored = q.value(0).toString();
    q.finish();
    return stored.isEmpty() ? QString() : VUtils::instance()->toDecrypt(stored);
}

bool db_self::setOther(OtherKey key, const QString &value)
{
    const QString name = otherKeyName(key);
    if (name.isEmpty())
        return false;
    QString enc;
    if (!value.isEmpty()) {
        enc = VUtils::instance()->toEncrypt(value);
        // Storing nothing in place of the value would lose it silently.
        if (enc.isEmpty()) {
            qCWarning(lcDbSelf) << "value for" << name << "not encrypted, not stored";
            return false;
        }
    }
    OpenDb open(m_fileDb);
    if (!open.ok()) {
        qCWarning(lcDbSelf) << "file.db does not open" << m_fileDb.lastError().text();
        return false;
    }
    m_fileDb.transaction();
    // The write comes first: it takes the write lock (waiting for the store's
    // writer thread if need be). A read first would hold a snapshot that a
    // commit of that thread in between makes impossible to write from.
    QSqlQuery up(m_fileDb);
    up.prepare(QStringLiteral("update other set value = ? where key =?"));
    up.addBindValue(enc);
    up.addBindValue(name);
    bool ok = up.exec();
    if (ok && up.numRowsAffected() == 0) {
        QSqlQuery ins(m_fileDb);
        ins.prepare(QStringLiteral("insert into other(key,value) values(?,?)"));
        ins.addBindValue(name);
        ins.addBindValue(enc);
        ok = ins.exec();
    }
    up.finish();
    if (!ok)
        qCWarning(lcDbSelf) << "storing" << name << "failed" << up.lastError().text();
    if (!ok || !m_fileDb.commit()) {
        qCWarning(lcDbSelf) << "storing" << name << "failed" << m_fileDb.lastError().text();
        m_fileDb.rollback();
        return false;
    }
    return true;
}

QJsonObject db_self::getLastvisit()
{
    return QJsonDocument::fromJson(getOther(other_lastvisit).toUtf8()).object();
}

bool db_self::setLastvisit(const QJsonObject &last)
{
    return setOther(other_lastvisit, QString::fromUtf8(QJsonDocument(last).toJson(QJsonDocument::Compact)));
}

QString db_self::getAdminbak()
{
    return getOther(other_adminbak);
}

bool db_self::setAdminbak(const QString &text)
{
    return setOther(other_adminbak, text);
}
