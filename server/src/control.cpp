#include "control.h"

#include "disk.h"
#include "http.h"
#include "json.h"
#include "service.h"

#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>

std::string normalisePath(const std::string &path)
{
    std::string out;
    out.reserve(path.size() + 1);
    out += '/';
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (out.back() != '/')
                out += '/';
        } else {
            out += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        }
    }
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

void Faults::add(const Fault &f)
{
    std::lock_guard<std::mutex> lk(m_mutex);
    m_faults.push_back(f);
}

void Faults::clear()
{
    std::lock_guard<std::mutex> lk(m_mutex);
    m_faults.clear();
}

bool Faults::take(const std::string &path, int port, Fault *out)
{
    std::lock_guard<std::mutex> lk(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        const std::string &pre = it->path;
        const bool match = pre == "/" || path == pre
            || (path.compare(0, pre.size(), pre) == 0 && path.size() > pre.size());
        if (!match || (it->port && it->port != port))
            continue;
        *out = *it;
        if (it->times > 0 && --it->times == 0)
            m_faults.erase(it);
        return true;
    }
    return false;
}

void RequestLog::add(Entry e)
{
    std::lock_guard<std::mutex> lk(m_mutex);
    m_entries.push_back(std::move(e));
    if (m_entries.size() > 20000)
        m_entries.pop_front();
}

QJsonObject RequestLog::count(const std::string &prefix)
{
    std::lock_guard<std::mutex> lk(m_mutex);
    QJsonObject byPort;
    QJsonArray recent;
    int total = 0;
    for (const Entry &e : m_entries) {
        if (e.path.compare(0, prefix.size(), prefix) != 0 || e.path.compare(0, 11, "/__control/") == 0)
            continue;
        ++total;
        const QString k = QString::number(e.port);
        byPort[k] = byPort.value(k).toInt() + 1;
        QJsonObject o{{"port", e.port},
                      {"method", QString::fromStdString(e.method)},
                      {"path", QString::fromStdString(e.path)},
                      {"status", e.status}};
        if (!e.range.empty())
            o.insert("range", QString::fromStdString(e.range));
        recent.append(o);
    }
    while (recent.size() > 200)
        recent.removeFirst();
    return QJsonObject{{"count", total}, {"byport", byPort}, {"recent", recent}};
}

namespace {

void replyObject(Call &c, const QJsonObject &o, int status = 200)
{
    const QByteArray b = json::write(o);
    c.replyRaw(b.toStdString(), "application/json; charset=utf-8", status);
}

void faultRoute(Call &c)
{
    if (c.req.method == "DELETE") {
        std::string sink;
        c.readBody(&sink, 1 << 20);
        svc().faults.clear();
        replyObject(c, QJsonObject{{"ok", true}});
        return;
    }
    if (c.req.method != "POST") {
        replyObject(c, QJsonObject{{"error", "POST or DELETE"}}, 405);
        return;
    }
    std::string body;
    c.readBody(&body, 1 << 20);
    const QJsonObject o = json::parse(QByteArray::fromStdString(body)).toObject();
    static const QStringList kinds{"delay", "status", "drop", "stall", "slow", "garbage", "code"};
    const QString kind = o.value("kind").toString();
    if (!kinds.contains(kind) || !o.value("path").isString()) {
        replyObject(c, QJsonObject{{"error", "need \"path\" and a \"kind\" of delay, status, drop, stall, slow, garbage, code"}}, 400);
        return;
    }
    Fault f;
    f.path = normalisePath(o.value("path").toString().toStdString());
    f.kind = kind.toStdString();
    f.value = static_cast<long long>(o.value("value").toDouble());
    f.after = static_cast<long long>(o.value("after").toDouble());
    f.times = o.value("times").toInt();
    f.port = o.value("port").toInt();
    f.msg = o.value("msg").toString();
    svc().faults.add(f);
    replyObject(c, QJsonObject{{"ok", true}});
}

void statRoute(Call &c)
{
    const QVariantMap f = disk::findAnyLive(c.p("path"));
    if (f.isEmpty() || f.value("isdir").toInt()) {
        replyObject(c, QJsonObject{{"error", "not found"}}, 404);
        return;
    }
    const QString sha = f.value("sha256").toString();
    replyObject(c, QJsonObject{{"size", f.value("size").toDouble()},
                               {"sha256", sha},
                               {"id", f.value("id").toString()},
                               {"fullpath", f.value("fullpath").toString()},
                               {"blob", QFileInfo::exists(svc().store.blobPath(sha))}});
}

// Seeds a folder with many entries straight into the store: {"path":
// "/1001/sharedisk/a/b" (created as needed), "files": N, "dirs": M,
// "prefix": "file", "content": text of every file}. Answers the folder's id
// and path. For tests and benchmarks of large folders without N requests.
void treeRoute(Call &c)
{
    if (c.req.method != "POST") {
        replyObject(c, QJsonObject{{"error", "POST"}}, 405);
        return;
    }
    std::string body;
    c.readBody(&body, 1 << 20);
    const QJsonObject o = json::parse(QByteArray::fromStdString(body)).toObject();
    const QStringList segs = o.value("path").toString().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    bool isNum = false;
    const qint64 school = segs.value(0).toLongLong(&isNum);
    if (!isNum || segs.size() < 2 || segs.at(1).compare(QLatin1String("sharedisk"), Qt::CaseInsensitive) != 0) {
        replyObject(c, QJsonObject{{"error", "path must start with /<schoolid>/sharedisk"}}, 400);
        return;
    }
    const int files = std::max(0, o.value("files").toInt());
    const int dirs = std::max(0, o.value("dirs").toInt());
    const QString prefix = o.value("prefix").toString(QStringLiteral("file"));
    const QByteArray content = o.value("content").toString(QStringLiteral("orvel\n")).toUtf8();
    Session actor;
    actor.schoolid = school;
    actor.truename = QStringLiteral("系统");
    Store &st = svc().store;
    QString sha;
    if (!st.writeBlob(content, &sha)) {
        replyObject(c, QJsonObject{{"error", "blob not written"}}, 500);
        return;
    }
    const qint64 rootId = disk::ensureRoot(school);
    Store::Tx tx(st);
    qint64 folder = rootId;
    for (const QString &seg : segs.mid(2)) {
        const QVariantMap ex = disk::childByName(folder, seg);
        folder = ex.isEmpty() ? disk::makeDir(actor, folder, seg) : ex.value("id").toLongLong();
    }
    const QString full = disk::byId(folder).value("fullpath").toString();
    const QString now = disk::nowText();
    const int width = QString::number(std::max(files, dirs)).size();
    QList<QVariantList> rows;
    rows.reserve(files + dirs);
    for (int i = 0; i < dirs; ++i) {
        const QString name = QStringLiteral("dir%1").arg(i, width, 10, QLatin1Char('0'));
        const QString path = full + QLatin1Char('/') + name;
        rows.append({school, folder, name, 1, 0, QVariant(QString()), path, path.toLower(), now, now});
    }
    for (int i = 0; i < files; ++i) {
        const QString name = QStringLiteral("%1%2.txt").arg(prefix).arg(i, width, 10, QLatin1Char('0'));
        const QString path = full + QLatin1Char('/') + name;
        rows.append({school, folder, name, 0, content.size(), sha, path, path.toLower(), now, now});
    }
    const bool ok = st.insertMany(
        QStringLiteral("INSERT INTO files(schoolid, parentid, name, isdir, size, sha256, fullpath, lpath, addtime,"
                       " adduserid, addusername, updatetime, updateuserid, updateusername)"
                       " VALUES(?,?,?,?,?,?,?,?,?,0,'系统',?,0,'系统')"),
        rows);
    if (!ok) {
        replyObject(c, QJsonObject{{"error", "insert failed"}}, 500);
        return;
    }
    tx.commit();
    replyObject(c, QJsonObject{{"ok", true}, {"id", QString::number(folder)}, {"fullpath", full},
                               {"files", files}, {"dirs", dirs}, {"sha256", sha}});
}

void requestsRoute(Call &c)
{
    replyObject(c, svc().requests.count(normalisePath(c.p("path").toStdString())));
}

void infoRoute(Call &c)
{
    QJsonArray ups;
    for (int i = 1; i <= svc().uploadServerCount(); ++i)
        ups.append(svc().uploadBase(i));
    replyObject(c, QJsonObject{{"root", svc().rootUrl()}, {"upload", ups}, {"data", svc().cfg.dataDir}});
}

} // namespace

void registerControlRoutes(Router &r)
{
    r.add("/__control/fault", faultRoute, true);
    r.add("/__control/stat", statRoute);
    r.add("/__control/requests", requestsRoute);
    r.add("/__control/tree", treeRoute, true);
    r.add("/__control/info", infoRoute);
}
