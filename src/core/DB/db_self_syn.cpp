// The backup half of the per-user store: syn.db's log of files to back up
// and the history of what was backed up. Every value is bound; batches run
// in one transaction.
#include "DB/db_open.h"
#include "DB/db_self.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlRecord>

#include "transfer/vglobalconnect.h"

Q_LOGGING_CATEGORY(lcDbSyn, "orvel.db.syn")

namespace {

QString placeholders(int n)
{
    QString out;
    out.reserve(n * 2);
    for (int i = 0; i < n; ++i)
        out += i ? QStringLiteral(",?") : QStringLiteral("?");
    return out;
}

// " and owner in (?,?)" with its values, or nothing for all owners.
QString ownerFilter(const QStringList &owners, QVariantList &values)
{
    if (owners.isEmpty())
        return QString();
    for (const QString &o : owners)
        values << o;
    return QStringLiteral(" and owner in (%1)").arg(placeholders(owners.size()));
}

} // namespace

void db_self::reportSynError()
{
    qCWarning(lcDbSyn) << "syn.db does not open" << m_synDb.lastError().text();
    emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("读取备份数据失败"), false);
}

// One statement in one transaction on syn.db; bind prepares the query's
// values and runs it.
bool db_self::synRun(const QString &sql, const std::function<bool(QSqlQuery &)> &bindAndRun)
{
    OpenDb open(m_synDb);
    if (!open.ok()) {
        reportSynError();
        return false;
    }
    m_synDb.transaction();
    QSqlQuery q(m_synDb);
    q.prepare(sql);
    if (!bindAndRun(q)) {
        qCWarning(lcDbSyn) << sql << q.lastError().text();
        m_synDb.rollback();
        return false;
    }
    q.finish();
    return m_synDb.commit();
}

bool db_self::synExec(const QString &sql, const QVariantList &values)
{
    return synRun(sql, [&values](QSqlQuery &q) {
        for (const QVariant &v : values)
            q.addBindValue(v);
        return q.exec();
    });
}

bool db_self::synBatch(const QString &sql, const QList<QVariantList> &columns)
{
    return synRun(sql, [&columns](QSqlQuery &q) {
        for (const QVariantList &col : columns)
            q.addBindValue(col);
        return q.execBatch();
    });
}

bool db_self::addLogs(const QList<M_db_syn> &list)
{
    if (list.isEmpty())
        return true;
    QVariantList dotime, addusername, fullpath, domsg, dotype, status, errmsg, owner, fileid, id;
    for (const M_db_syn &r : list) {
        dotime << QString::number(r.dotime.isValid() ? r.dotime.toMSecsSinceEpoch()
                                                     : QDateTime::currentMSecsSinceEpoch());
        addusername << r.addusername;
        fullpath << r.fullpath;
        domsg << r.domsg;
        dotype << r.dotype;
        status << r.status;
        errmsg << r.errmsg;
        owner << r.owner;
        fileid << r.fileid;
        id << r.id;
    }
    return synBatch(QStringLiteral("insert or replace into log (dotime,addusername,fullpath,domsg,dotype,status,errmsg,"
                                   "owner,fileid,id) values (?,?,?,?,?,?,?,?,?,?)"),
                    {dotime, addusername, fullpath, domsg, dotype, status, errmsg, owner, fileid, id});
}

int db_self::countPending(const QString &owner)
{
    OpenDb open(m_synDb);
    if (!open.ok()) {
        reportSynError();
        return 0;
    }
    QSqlQuery q(m_synDb);
    q.prepare(QStringLiteral("select count(1) from log where status = 0 and owner = ?"));
    q.addBindValue(owner);
    if (!q.exec() || !q.next())
        return 0;
    return q.value(0).toInt();
}

QList<M_db_syn> db_self::getLogs(const QString &owner)
{
    QList<M_db_syn> out;
    OpenDb open(m_synDb);
    if (!open.ok()) {
        reportSynError();
        return out;
    }
    QSqlQuery q(m_synDb);
    q.setForwardOnly(true);
    // dotime is text: order by its number so that 9 sorts before 10
    q.prepare(QStringLiteral("select * from log where status <> 99 and owner = ? order by cast(dotime as integer) asc"));
    q.addBindValue(owner);
    if (!q.exec()) {
        qCWarning(lcDbSyn) << "log read failed" << q.lastError().text();
        return out;
    }
    while (q.next())
        out.append(M_db_syn(q.record()));
    return out;
}

bool db_self::setStatus(const QStringList &ids, int status)
{
    if (ids.isEmpty())
        return true;
    QVariantList st, id;
    for (const QString &i : ids) {
        st << status;
        id << i;
    }
    return synBatch(QStringLiteral("update log set status=? where id=?"), {st, id});
}

bool db_self::updateLogs(const QList<M_db_syn> &list)
{
    if (list.isEmpty())
        return true;
    QVariantList st, err, msg, id;
    for (const M_db_syn &r : list) {
        st << r.status;
        err << r.errmsg;
        msg << r.domsg;
        id << r.id;
    }
    return synBatch(QStringLiteral("update log set status=?,errmsg=?,domsg=? where id=?"), {st, err, msg, id});
}

bool db_self::deleteLogs(const QString &owner, int status)
{
    return synExec(QStringLiteral("delete from log where owner = ? and status = ?"), {owner, status});
}

bool db_self::synInsertHistory(QSqlQuery &q, const QList<M_db_syn> &logs, const QList<M_info_file> &files,
                               const QStringList &localPaths)
{
    const int n = qMin(logs.size(), files.size());
    if (n == 0)
        return true;
    const QString now = QString::number(QDateTime::currentMSecsSinceEpoch());
    QVariantList id, dotime, addusername, localpath, serverpath, fileid, dotype, owner, pid, filename, fileext, isdir,
        filesize, md5;
    for (int i = 0; i < n; ++i) {
        const M_db_syn &l = logs.at(i);
        const M_info_file &f = files.at(i);
        id << l.id;
        dotime << now;
        addusername << l.addusername;
        localpath << (i < localPaths.size() ? localPaths.at(i) : QString());
        serverpath << (f.fullpath.isEmpty() ? l.fullpath : f.fullpath);
        fileid << (f.id.isEmpty() ? l.fileid : f.id);
        dotype << l.dotype;
        owner << l.owner;
        pid << QString();
        filename << f.filename;
        fileext << f.fileext;
        isdir << (f.isdir ? 1 : 0);
        filesize << f.filesize;
        md5 << f.md5;
    }
    q.prepare(QStringLiteral("insert or replace into history (id,dotime,addusername,localpath,serverpath,fileid,dotype,"
                             "owner,pid,filename,fileext,isdir,filesize,md5) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (QVariantList *col : {&id, &dotime, &addusername, &localpath, &serverpath, &fileid, &dotype, &owner, &pid,
                              &filename, &fileext, &isdir, &filesize, &md5})
        q.addBindValue(*col);
    qCDebug(lcDbSyn) << "批量插入" << n;
    if (!q.execBatch()) {
        qCWarning(lcDbSyn) << "history insert failed" << q.lastError().text();
        return false;
    }
    qCDebug(lcDbSyn) << "插入成功";
    q.finish();
    return true;
}

bool db_self::insertHistory(const QList<M_db_syn> &logs, const QList<M_info_file> &files,
                            const QStringList &localPaths)
{
    OpenDb open(m_synDb);
    if (!open.ok()) {
        reportSynError();
        return false;
    }
    m_synDb.transaction();
    QSqlQuery q(m_synDb);
    if (!synInsertHistory(q, logs, files, localPaths)) {
        m_synDb.rollback();
        return false;
    }
    return m_synDb.commit();
}

bool db_self::finishLogs(const QList<M_db_syn> &logs, const QList<M_info_file> &files,
                         const QStringList &localPaths)
{
    if (logs.isEmpty())
        return true;
    OpenDb open(m_synDb);
    if (!open.ok()) {
        reportSynError();
        return false;
    }
    QVariantList st, id;
    for (const M_db_syn &l : logs) {
        st << 99;
        id << l.id;
    }
    m_synDb.transaction();
    QSqlQuery q(m_synDb);
    q.prepare(QStringLiteral("update log set status=? where id=?"));
    q.addBindValue(st);
    q.addBindValue(id);
    bool ok = q.execBatch();
    if (!ok)
        qCWarning(lcDbSyn) << "status update failed" << q.lastError().text();
    q.finish();
    ok = ok && synInsertHistory(q, logs, files, localPaths);
    if (!ok) {
        m_synDb.rollback();
        return false;
    }
    return m_synDb.commit();
}

M_page db_self::getHistory(M_page page, const QStringList &owners, bool newestFirst)
{
    page.list.clear();
    page.total = 0;
    page.pagecount = 1;
    if (page.pagesize < 1)
        page.pagesize = 100;
    if (page.pageindex < 1)
        page.pageindex = 1;
    OpenDb open(m_synDb);
    if (!open.ok()) {
        reportSynError();
        return page;
    }
    QVariantList values;
    const QString filter = ownerFilter(owners, values);
    QSqlQuery q(m_synDb);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("select count(1) sl from history where 1=1") + filter);
    for (const QVariant &v : qAsConst(values))
        q.addBindValue(v);
    if (!q.exec() || !q.next()) {
        qCWarning(lcDbSyn) << "history count failed" << q.lastError().text();
        return page;
    }
    page.total = q.value(0).toInt();
    q.finish();
    page.pagecount = qMax(1, (page.total + page.pagesize - 1) / page.pagesize);
    if (page.pageindex > page.pagecount)
        page.pageindex = 1;
    q.prepare(QStringLiteral("select * from history where 1=1") + filter
              + (newestFirst ? QStringLiteral(" order by cast(dotime as integer) desc, rowid desc")
                             : QStringLiteral(" order by cast(dotime as integer) asc, rowid asc"))
              + QStringLiteral(" limit ? offset ?"));
    for (const QVariant &v : qAsConst(values))
        q.addBindValue(v);
    q.addBindValue(page.pagesize);
    q.addBindValue((page.pageindex - 1) * page.pagesize);
    if (!q.exec()) {
        qCWarning(lcDbSyn) << "history read failed" << q.lastError().text();
        return page;
    }
    while (q.next())
        page.list.append(M_db_synhistory(q.record()));
    return page;
}

bool db_self::clearHistory()
{
    return synExec(QStringLiteral("delete from history where 1=1"), {});
}

bool db_self::clearHistory(const QStringList &owners)
{
    QVariantList values;
    const QString filter = ownerFilter(owners, values);
    return synExec(QStringLiteral("delete from history where 1=1") + filter, values);
}
