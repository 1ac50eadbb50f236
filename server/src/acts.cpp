#include "acts.h"

#include "crypto.h"
#include "disk.h"
#include "http.h"
#include "json.h"
#include "service.h"

#include <QDateTime>
#include <QJsonArray>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcActs, "orvel.server.acts")

namespace {

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

QString msText(qint64 ms)
{
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

struct Item {
    QJsonObject o;
    void fail(int code, const QString &msg)
    {
        o["code"] = code;
        o["msg"] = msg;
    }
    void ok(const QString &msg = QStringLiteral("成功"))
    {
        o["code"] = 0;
        o["msg"] = msg;
    }
    bool failed() const { return o.value("code").toInt() != 0; }
};

QJsonArray arrayParam(const QJsonObject &p, const char *key)
{
    const QJsonValue v = p.value(QLatin1String(key));
    if (v.isArray())
        return v.toArray();
    const QJsonValue parsed = json::parse(v.toString().toUtf8());
    if (parsed.isArray())
        return parsed.toArray();
    if (v.isString() && !v.toString().trimmed().isEmpty())
        return QJsonArray{v.toString()};
    return QJsonArray();
}

QString keyOf(const QJsonValue &v, const char *a, const char *b = nullptr)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        QJsonValue x = o.value(QLatin1String(a));
        if ((x.isUndefined() || x.isNull()) && b)
            x = o.value(QLatin1String(b));
        return x.isDouble() ? QString::number(qint64(x.toDouble())) : x.toString();
    }
    return v.isDouble() ? QString::number(qint64(v.toDouble())) : v.toString();
}

int intOf(const QJsonValue &v)
{
    return v.isString() ? v.toString().trimmed().toInt() : v.toInt();
}

QJsonObject summary(const QJsonArray &items)
{
    int good = 0, bad = 0;
    QString firstMsg;
    for (const QJsonValue &v : items) {
        if (v.toObject().value("code").toInt() == 0) {
            ++good;
        } else {
            ++bad;
            if (firstMsg.isEmpty())
                firstMsg = v.toObject().value("msg").toString();
        }
    }
    QString msg = QStringLiteral("成功%1项").arg(good);
    if (bad)
        msg += QStringLiteral("，失败%1项：%2").arg(bad).arg(firstMsg);
    return QJsonObject{{"code", bad ? 1 : 0}, {"msg", msg}, {"success", good}, {"failed", bad}};
}

// mkdir -p below a folder; answers the id of the last folder or 0.
qint64 makePath(const Session &s, qint64 base, const QStringList &segs, Item &item)
{
    if (segs.size() > 64) {
        item.fail(disk::BadName, QStringLiteral("文件夹层级过深"));
        return 0;
    }
    qint64 cur = base;
    for (const QString &seg : segs) {
        QString err;
        if (!disk::validName(seg, &err)) {
            item.fail(disk::BadName, err);
            return 0;
        }
        const QVariantMap existing = disk::childByName(cur, seg);
        if (!existing.isEmpty()) {
            if (!existing.value("isdir").toInt()) {
                item.fail(disk::NameClash, QStringLiteral("存在同名文件：%1").arg(seg));
                return 0;
            }
            cur = existing.value("id").toLongLong();
        } else {
            cur = disk::makeDir(s, cur, seg);
        }
    }
    return cur;
}

void buildTemplate(const Session &s, qint64 parent, const QJsonArray &nodes, int depth, QJsonArray &made)
{
    if (depth > 16)
        return;
    for (const QJsonValue &v : nodes) {
        const QJsonObject n = v.toObject();
        const QString name = n.value("Name").toString(n.value("name").toString()).trimmed();
        QString err;
        if (!disk::validName(name, &err))
            continue;
        QVariantMap ex = disk::childByName(parent, name);
        qint64 id = ex.isEmpty() ? disk::makeDir(s, parent, name) : ex.value("id").toLongLong();
        if (!ex.isEmpty() && !ex.value("isdir").toInt())
            continue;
        made.append(disk::byId(id).value("fullpath").toString());
        buildTemplate(s, id, n.value("Child").toArray(), depth + 1, made);
    }
}

// Shared by copy and move: resolves the target folder and the final name.
bool target(const Session &s, disk::Perms &perms, const QVariantMap &src, const QJsonObject &in, Item &item,
            QVariantMap *folder, QString *name, qint64 *clashId)
{
    QString err;
    const QString to = keyOf(in, "to", "toid");
    *folder = disk::resolve(s, to, &err);
    if (folder->isEmpty() || !folder->value("isdir").toInt()) {
        item.fail(disk::NotFound, QStringLiteral("目标文件夹不存在"));
        return false;
    }
    item.o["to"] = folder->value("fullpath").toString();
    if (!perms.allowed(*folder, disk::Create)) {
        item.fail(disk::Denied, QStringLiteral("权限不足，无法写入目标文件夹"));
        return false;
    }
    *name = keyOf(in, "toname").trimmed();
    if (name->isEmpty())
        *name = src.value("name").toString();
    if (!disk::validName(*name, &err)) {
        item.fail(disk::BadName, err);
        return false;
    }
    if (src.value("isdir").toInt() && disk::isInside(folder->value("id").toLongLong(), src.value("id").toLongLong())) {
        item.fail(disk::IntoItself, QStringLiteral("不能将文件夹放入其自身或其子文件夹"));
        return false;
    }
    const QVariantMap clash = disk::childByName(folder->value("id").toLongLong(), *name);
    *clashId = 0;
    const bool copy = item.o.value("act").toInt() == ActCopy;
    // A move onto itself changes nothing; a copy onto itself is a clash.
    const bool self = !clash.isEmpty() && clash.value("id") == src.value("id");
    if (!clash.isEmpty() && (!self || copy)) {
        const int totype = intOf(in.value("totype"));
        if (totype == 1 && self) {
            item.fail(disk::NameClash, QStringLiteral("不能用文件（夹）覆盖其自身"));
            return false;
        }
        if (totype == 1 && clash.value("isdir").toInt()
            && disk::isInside(src.value("id").toLongLong(), clash.value("id").toLongLong())) {
            // Replacing would put the source itself in the recycle bin.
            item.fail(disk::IntoItself, QStringLiteral("目标位置的同名文件夹包含源文件（夹），无法覆盖"));
            return false;
        }
        if (totype == 1) {
            if (clash.value("isdir").toInt() != src.value("isdir").toInt()) {
                item.fail(disk::NameClash, QStringLiteral("目标位置存在同名的%1，无法覆盖")
                                              .arg(clash.value("isdir").toInt() ? QStringLiteral("文件夹") : QStringLiteral("文件")));
                return false;
            }
            *clashId = clash.value("id").toLongLong();
        } else if (totype == 2) {
            *name = disk::freeName(folder->value("id").toLongLong(), *name);
        } else {
            item.fail(disk::NameClash, QStringLiteral("目标位置已存在同名文件（夹）：%1").arg(*name));
            return false;
        }
    }
    item.o["toname"] = *name;
    return true;
}

void runAct(const QVariantMap &act)
{
    const QString id = act.value("id").toString();
    Session s;
    const QVariantMap u = svc().store.row(QStringLiteral("SELECT * FROM users WHERE id=?"), {act.value("userid")});
    s.userid = act.value("userid").toLongLong();
    s.schoolid = act.value("schoolid").toLongLong();
    s.shenfen = u.value("shenfen").toInt();
    s.truename = u.value("truename").toString();
    s.loginname = u.value("loginname").toString();
    const QJsonObject p = json::parse(act.value("params").toString().toUtf8()).toObject();
    const int type = act.value("act").toInt();
    disk::Perms perms(s);
    QJsonObject data = p;
    data["acttype"] = act.value("acttype").toString();
    QJsonArray items;
    QString err;

    Store &st = svc().store;
    Store::Tx tx(st);
    switch (type) {
    case ActAddDir:
    case ActAddTmpDir: {
        Item item;
        const QVariantMap parent = disk::resolve(s, p.value("filepath").toString(), &err);
        const QString name = p.value("dirname").toString().trimmed();
        QVariantMap tmpl;
        if (type == ActAddTmpDir)
            tmpl = st.row(QStringLiteral("SELECT * FROM tmpdirs WHERE id=? AND schoolid=?"),
                          {p.value("fileid").toString().toLongLong(), s.schoolid});
        if (parent.isEmpty() || !parent.value("isdir").toInt())
            item.fail(disk::NotFound, QStringLiteral("文件夹不存在"));
        else if (!perms.allowed(parent, disk::Create))
            item.fail(disk::Denied, QStringLiteral("权限不足，无法新建文件夹"));
        else if (!disk::validName(name, &err))
            item.fail(disk::BadName, err);
        else if (type == ActAddTmpDir && tmpl.isEmpty())
            item.fail(disk::NotFound, QStringLiteral("模板不存在"));
        else if (type == ActAddDir && !disk::childByName(parent.value("id").toLongLong(), name).isEmpty())
            item.fail(disk::NameClash, QStringLiteral("已存在同名文件夹：%1").arg(name));
        else {
            qint64 nid = 0;
            const QVariantMap ex = disk::childByName(parent.value("id").toLongLong(), name);
            if (!ex.isEmpty() && !ex.value("isdir").toInt())
                item.fail(disk::NameClash, QStringLiteral("存在同名文件：%1").arg(name));
            else
                nid = ex.isEmpty() ? disk::makeDir(s, parent.value("id").toLongLong(), name) : ex.value("id").toLongLong();
            if (nid) {
                const QVariantMap made = disk::byId(nid);
                item.o["fileid"] = made.value("id").toString();
                item.o["path"] = made.value("fullpath").toString();
                if (type == ActAddTmpDir) {
                    QJsonArray sub;
                    buildTemplate(s, nid, json::parse(tmpl.value("dirs").toString().toUtf8()).toArray(), 0, sub);
                    item.o["dirs"] = sub;
                }
                item.ok(QStringLiteral("创建成功"));
            }
        }
        for (auto it = item.o.begin(); it != item.o.end(); ++it)
            data[it.key()] = it.value();
        items.append(item.o);
        break;
    }
    case ActAddDirs: {
        const QVariantMap parent = disk::resolve(s, p.value("filepath").toString(), &err);
        const QJsonArray dirs = arrayParam(p, "dirs");
        const bool may = !parent.isEmpty() && parent.value("isdir").toInt() && perms.allowed(parent, disk::Create);
        const QString base = parent.value("fullpath").toString().toLower();
        for (const QJsonValue &v : dirs) {
            Item item;
            QString rel = keyOf(v, "path", "dirpath");
            item.o["path"] = rel;
            rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (rel.toLower().startsWith(base + QLatin1Char('/')))
                rel = rel.mid(base.size() + 1);
            const QStringList segs = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
            if (parent.isEmpty() || !parent.value("isdir").toInt())
                item.fail(disk::NotFound, QStringLiteral("文件夹不存在"));
            else if (!may)
                item.fail(disk::Denied, QStringLiteral("权限不足，无法新建文件夹"));
            else if (segs.isEmpty())
                item.fail(disk::BadName, QStringLiteral("文件夹路径为空"));
            else if (const qint64 nid = makePath(s, parent.value("id").toLongLong(), segs, item)) {
                item.o["path"] = disk::byId(nid).value("fullpath").toString();
                item.o["fileid"] = QString::number(nid);
                item.ok(QStringLiteral("创建成功"));
            }
            items.append(item.o);
        }
        break;
    }
    case ActReName: {
        for (const QJsonValue &v : arrayParam(p, "filelist")) {
            Item item;
            const QString path = keyOf(v, "filepath", "id");
            const QString newName = keyOf(v, "newname").trimmed();
            item.o["path"] = path;
            item.o["newname"] = newName;
            const QVariantMap r = disk::resolve(s, path, &err);
            if (r.isEmpty())
                item.fail(disk::NotFound, err);
            else if (r.value("parentid").toLongLong() == 0)
                item.fail(disk::Denied, QStringLiteral("根目录不能重命名"));
            else if (!perms.allowed(r, disk::Rename))
                item.fail(disk::Denied, QStringLiteral("权限不足，无法重命名"));
            else if (!disk::validName(newName, &err))
                item.fail(disk::BadName, err);
            else {
                const QVariantMap clash = disk::childByName(r.value("parentid").toLongLong(), newName);
                if (!clash.isEmpty() && clash.value("id") != r.value("id")) {
                    item.fail(disk::NameClash, QStringLiteral("已存在同名文件（夹）：%1").arg(newName));
                } else {
                    disk::renameItem(s, r.value("id").toLongLong(), newName);
                    item.o["path"] = r.value("fullpath").toString();
                    item.o["newpath"] = disk::byId(r.value("id").toLongLong()).value("fullpath").toString();
                    item.o["id"] = r.value("id").toString();
                    item.o["isdir"] = r.value("isdir").toInt() != 0;
                    item.ok(QStringLiteral("重命名成功"));
                }
            }
            items.append(item.o);
        }
        break;
    }
    case ActRemove: {
        for (const QJsonValue &v : arrayParam(p, "filelist")) {
            Item item;
            const QString path = keyOf(v, "filepath", "id");
            item.o["path"] = path;
            const QVariantMap r = disk::resolve(s, path, &err);
            if (r.isEmpty())
                item.fail(disk::NotFound, err);
            else if (r.value("parentid").toLongLong() == 0)
                item.fail(disk::Denied, QStringLiteral("根目录不能删除"));
            else if (!perms.allowed(r, disk::Delete))
                item.fail(disk::Denied, QStringLiteral("权限不足，无法删除"));
            else {
                disk::removeToRecycle(s, r.value("id").toLongLong());
                item.o["path"] = r.value("fullpath").toString();
                item.o["id"] = r.value("id").toString();
                item.o["isdir"] = r.value("isdir").toInt() != 0;
                item.ok(QStringLiteral("已移入回收站"));
            }
            items.append(item.o);
        }
        break;
    }
    case ActDel:
    case ActReduction: {
        for (const QJsonValue &v : arrayParam(p, "filelist")) {
            Item item;
            const QString rid = keyOf(v, "id", "fileid");
            item.o["id"] = rid;
            const QVariantMap r = disk::byId(rid.toLongLong());
            if (r.isEmpty() || !r.value("deleted").toInt() || r.value("delby") != r.value("id")
                || r.value("schoolid").toLongLong() != s.schoolid) {
                item.fail(disk::NotFound, QStringLiteral("回收站中不存在该项"));
                items.append(item.o);
                continue;
            }
            item.o["path"] = r.value("fullpath").toString();
            item.o["filename"] = r.value("name").toString();
            item.o["isdir"] = r.value("isdir").toInt() != 0;
            if (!s.isAdmin() && r.value("deluserid").toLongLong() != s.userid) {
                item.fail(disk::Denied, QStringLiteral("只能处理自己删除的文件"));
            } else if (type == ActDel) {
                disk::purge(r.value("id").toLongLong());
                item.ok(QStringLiteral("已彻底删除"));
            } else {
                const QVariantMap parent = disk::byId(r.value("parentid").toLongLong());
                if (parent.isEmpty() || parent.value("deleted").toInt()) {
                    item.fail(disk::NotFound, QStringLiteral("原位置已不存在，请先还原上级文件夹"));
                } else {
                    QString name = r.value("name").toString();
                    const bool clash = !disk::childByName(parent.value("id").toLongLong(), name).isEmpty();
                    if (clash && intOf(v.toObject().value("totype")) != 1) {
                        item.fail(disk::NameClash, QStringLiteral("原位置已存在同名文件（夹）：%1").arg(name));
                    } else {
                        if (clash)
                            name = disk::freeName(parent.value("id").toLongLong(), name);
                        disk::restore(r.value("id").toLongLong(), name);
                        item.o["path"] = disk::byId(r.value("id").toLongLong()).value("fullpath").toString();
                        item.o["filename"] = name;
                        item.ok(QStringLiteral("还原成功"));
                    }
                }
            }
            items.append(item.o);
        }
        break;
    }
    case ActCopy:
    case ActMove: {
        for (const QJsonValue &v : arrayParam(p, "filelist")) {
            Item item;
            const QJsonObject in = v.toObject();
            const QString path = keyOf(in, "filepath", "id");
            item.o["path"] = path;
            item.o["totype"] = intOf(in.value("totype"));
            item.o["act"] = type;
            const QVariantMap src = disk::resolve(s, path, &err);
            QVariantMap folder;
            QString name;
            qint64 clashId = 0;
            if (src.isEmpty()) {
                item.fail(disk::NotFound, err);
            } else {
                item.o["path"] = src.value("fullpath").toString();
                item.o["isdir"] = src.value("isdir").toInt() != 0;
                if (src.value("parentid").toLongLong() == 0)
                    item.fail(disk::Denied, QStringLiteral("根目录不能复制或移动"));
                else if (!perms.allowed(src, type == ActCopy ? disk::Copy : disk::Move))
                    item.fail(disk::Denied, type == ActCopy ? QStringLiteral("权限不足，无法复制") : QStringLiteral("权限不足，无法移动"));
                else if (target(s, perms, src, in, item, &folder, &name, &clashId)) {
                    if (clashId)
                        disk::replaceAway(s, clashId);
                    qint64 nid = src.value("id").toLongLong();
                    if (type == ActCopy)
                        nid = disk::copyItem(s, nid, folder.value("id").toLongLong(), name);
                    else
                        disk::moveItem(s, nid, folder.value("id").toLongLong(), name);
                    item.o["newid"] = QString::number(nid);
                    item.o["newpath"] = disk::byId(nid).value("fullpath").toString();
                    item.ok(type == ActCopy ? QStringLiteral("复制成功") : QStringLiteral("移动成功"));
                }
            }
            item.o.remove("act");
            items.append(item.o);
        }
        break;
    }
    default:
        break;
    }
    QJsonObject result;
    if (type == ActAddDir || type == ActAddTmpDir) {
        result = QJsonObject{{"code", data.value("code").toInt()}, {"msg", data.value("msg").toString()}};
        data["filelist"] = items;
    } else {
        data["filelist"] = items;
        result = summary(items);
        data["code"] = result.value("code");
        data["msg"] = result.value("msg");
    }
    acts::finish(id, data, result);
    tx.commit();
}

void actAdd(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    static const QHash<QString, int> kinds{{"adddir", ActAddDir},   {"adddirs", ActAddDirs}, {"copy", ActCopy},
                                           {"move", ActMove},       {"remove", ActRemove},   {"del", ActDel},
                                           {"rename", ActReName},   {"reduction", ActReduction},
                                           {"addtmpdir", ActAddTmpDir}};
    const QString acttype = c.p("acttype").trimmed();
    const int type = kinds.value(acttype.toLower());
    if (!type) {
        c.reply(1, acttype.isEmpty() ? QStringLiteral("缺少操作类型acttype") : QStringLiteral("不支持的操作类型：%1").arg(acttype));
        return;
    }
    QJsonObject params;
    for (auto it = c.params.begin(); it != c.params.end(); ++it) {
        if (it.key() == QLatin1String("tk"))
            continue;
        const QJsonValue parsed = (it.key() == QLatin1String("filelist") || it.key() == QLatin1String("dirs"))
            ? json::parse(it.value().toUtf8()) : QJsonValue();
        params[it.key()] = parsed.isArray() ? parsed : QJsonValue(it.value());
    }
    auto need = [&](const char *key) {
        if (c.p(key).trimmed().isEmpty()) {
            c.reply(1, QStringLiteral("参数错误：缺少%1").arg(QLatin1String(key)));
            return false;
        }
        return true;
    };
    auto needList = [&](const char *key) {
        const QJsonValue v = params.value(QLatin1String(key));
        if (!v.isArray() || v.toArray().isEmpty()) {
            c.reply(1, QStringLiteral("参数错误：%1应为非空数组").arg(QLatin1String(key)));
            return false;
        }
        return true;
    };
    switch (type) {
    case ActAddDir:
        if (!need("filepath") || !need("dirname"))
            return;
        break;
    case ActAddTmpDir:
        if (!need("filepath") || !need("dirname") || !need("fileid"))
            return;
        break;
    case ActAddDirs:
        if (!need("filepath") || !needList("dirs"))
            return;
        break;
    default:
        if (!needList("filelist"))
            return;
    }
    const QString id = acts::create(s, type, acttype, params, c.ip, nowMs() + std::max(0, svc().cfg.actDelayMs));
    if (svc().acts)
        svc().acts->wake();
    c.reply(0, QStringLiteral("队列任务处理中，请稍后"),
            QJsonObject{{"evtid", id}, {"id", id}, {"msg", ""}, {"acttype", acttype}, {"bz", c.p("bz")}});
}

void actStatus(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QJsonArray arr;
    const QStringList ids = c.p("ids").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &raw : ids.mid(0, 500)) {
        const QVariantMap row = svc().store.row(QStringLiteral("SELECT * FROM acts WHERE id=? AND schoolid=?"),
                                                {raw.trimmed(), s.schoolid});
        if (!row.isEmpty())
            arr.append(acts::record(row));
    }
    c.reply(0, arr, arr);
}

void changeLog(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const QDateTime start = QDateTime::fromString(c.p("starttime").trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!start.isValid()) {
        c.reply(2, QStringLiteral("开始时间格式错误，应为 yyyy-MM-dd HH:mm:ss"));
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    if (start < now.addDays(-30)) {
        c.reply(1, QStringLiteral("同步时间超过30天，请重新同步全部文件"));
        return;
    }
    const auto rows = svc().store.rows(
        QStringLiteral("SELECT * FROM acts WHERE schoolid=? AND status=99 AND act IN (3,4,7,8,9) AND donetime>=?"
                       " ORDER BY donetime, created"),
        {s.schoolid, start.toMSecsSinceEpoch()});
    QJsonArray list;
    for (const QVariantMap &r : rows) {
        list.append(QJsonObject{{"id", r.value("id").toString()},
                                {"eventtype", r.value("act").toInt()},
                                {"addusername", r.value("username").toString()},
                                {"dotime", msText(r.value("donetime").toLongLong())},
                                {"doresult", r.value("data").toString()}});
    }
    c.reply(0, QStringLiteral("获取成功"),
            QJsonObject{{"list", list}, {"servertime", now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}});
}

} // namespace

namespace acts {

QString create(const Session &s, int act, const QString &acttype, const QJsonObject &params, const QString &ip,
               qint64 dueMs)
{
    const QString id = crypto::randomHex(16);
    svc().store.exec(QStringLiteral("INSERT INTO acts(id, userid, schoolid, act, acttype, status, params, data, result, ip,"
                                    " username, client, created, due, donetime) VALUES(?,?,?,?,?,0,?,?,'',?,?,4,?,?,0)"),
                     {id, s.userid, s.schoolid, act, acttype, json::text(params), json::text(params), ip, s.truename,
                      nowMs(), dueMs});
    return id;
}

void finish(const QString &id, const QJsonObject &data, const QJsonObject &result)
{
    svc().store.exec(QStringLiteral("UPDATE acts SET status=99, data=?, result=?, donetime=? WHERE id=?"),
                     {json::text(data), json::text(result), nowMs(), id});
}

QJsonObject record(const QVariantMap &row)
{
    return QJsonObject{{"id", row.value("id").toString()},
                       {"act", row.value("act").toInt()},
                       {"acttype", row.value("acttype").toString()},
                       {"status", row.value("status").toInt()},
                       {"data", row.value("data").toString()},
                       {"result", row.value("result").toString()},
                       {"ip", row.value("ip").toString()},
                       {"username", row.value("username").toString()},
                       {"client", row.value("client").toInt()},
                       {"addtime", msText(row.value("created").toLongLong())},
                       {"donetime", msText(row.value("donetime").toLongLong())}};
}

void run(const QString &id)
{
    const QVariantMap act = svc().store.row(QStringLiteral("SELECT * FROM acts WHERE id=? AND status=0"), {id});
    if (!act.isEmpty())
        runAct(act);
}

void registerRoutes(Router &r)
{
    r.add("/api/v1/wp/act/add", actAdd);
    r.add("/api/v1/wp/act/GetActStatus", actStatus);
    r.add("/api/v1/wp/act/ShareDiskTbLogList", changeLog);
}

} // namespace acts

void Acts::start()
{
    m_thread = std::thread([this] { loop(); });
}

void Acts::stop()
{
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void Acts::wake()
{
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_woken = true;
    }
    m_cv.notify_all();
}

void Acts::loop()
{
    std::unique_lock<std::mutex> lk(m_mutex);
    while (!m_stop) {
        lk.unlock();
        // Upload events (type 8) are finished by the upload servers, not here.
        const auto due = svc().store.rows(
            QStringLiteral("SELECT id, due FROM acts WHERE status=0 AND act<>8 ORDER BY due LIMIT 200"));
        qint64 next = nowMs() + 1000;
        for (const QVariantMap &d : due) {
            const qint64 at = d.value("due").toLongLong();
            if (at <= nowMs()) {
                try {
                    acts::run(d.value("id").toString());
                } catch (const std::exception &e) {
                    qCWarning(lcActs) << "act failed" << e.what();
                }
            } else {
                next = std::min(next, at);
                break;
            }
        }
        lk.lock();
        const qint64 wait = std::max<qint64>(5, next - nowMs());
        if (!m_woken)
            m_cv.wait_for(lk, std::chrono::milliseconds(wait));
        m_woken = false;
    }
}
