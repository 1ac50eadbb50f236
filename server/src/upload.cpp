#include "upload.h"

#include "acts.h"
#include "crypto.h"
#include "disk.h"
#include "http.h"
#include "json.h"
#include "multipart.h"
#include "service.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <fcntl.h>
#include <strings.h>
#include <map>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace upload {

Layout layoutFor(qint64 size)
{
    Layout l;
    const qint64 maxBlocks = 10000;
    const qint64 n = (size + maxBlocks - 1) / maxBlocks;
    if (n > 5242880) {
        l.blocksize = n;
        l.totalblocknum = maxBlocks;
    } else {
        l.blocksize = 5242880;
        l.totalblocknum = (size + l.blocksize - 1) / l.blocksize;
    }
    return l;
}

namespace {

// Digest state of an event: the hash covers blocks [0, next).
struct EventState {
    std::mutex mutex;
    std::unique_ptr<crypto::Sha256> hash{new crypto::Sha256};
    qint64 next = 0;
};

std::mutex g_statesMutex;
std::map<QString, std::shared_ptr<EventState>> g_states;

std::shared_ptr<EventState> stateOf(const QString &evtid)
{
    std::lock_guard<std::mutex> lk(g_statesMutex);
    auto &p = g_states[evtid];
    if (!p)
        p = std::make_shared<EventState>();
    return p;
}

void dropState(const QString &evtid)
{
    std::lock_guard<std::mutex> lk(g_statesMutex);
    g_states.erase(evtid);
}

QString partPath(const QString &evtid) { return svc().store.uploadDir() + QLatin1Char('/') + evtid + QStringLiteral(".part"); }

qint64 blockLength(const QVariantMap &ev, qint64 block)
{
    const qint64 size = ev.value("filesize").toLongLong();
    const qint64 bs = ev.value("blocksize").toLongLong();
    return std::min(bs, size - block * bs);
}

QVariantMap eventRow(const QString &evtid)
{
    return svc().store.row(QStringLiteral("SELECT u.*, a.status, a.result, a.userid, a.schoolid FROM uploads u"
                                          " JOIN acts a ON a.id=u.evtid WHERE u.evtid=?"),
                           {evtid});
}

bool hasBlock(const QString &evtid, qint64 block)
{
    return svc().store.scalar(QStringLiteral("SELECT COUNT(*) FROM upload_blocks WHERE evtid=? AND block=?"), {evtid, block}).toInt() > 0;
}

// Feeds blocks that are on disk into the running digest, in order.
void catchUp(EventState &st, const QVariantMap &ev, qint64 upTo)
{
    const QString evtid = ev.value("evtid").toString();
    if (st.next >= upTo)
        return;
    const int fd = ::open(QFile::encodeName(partPath(evtid)).constData(), O_RDONLY);
    if (fd < 0)
        return;
    std::string buf;
    while (st.next < upTo && hasBlock(evtid, st.next)) {
        const qint64 len = blockLength(ev, st.next);
        buf.resize(size_t(len));
        const qint64 off = st.next * ev.value("blocksize").toLongLong();
        qint64 got = 0;
        while (got < len) {
            const ssize_t n = ::pread(fd, &buf[size_t(got)], size_t(len - got), off + got);
            if (n <= 0)
                break;
            got += n;
        }
        if (got != len)
            break;
        st.hash->add(buf.data(), size_t(len));
        ++st.next;
    }
    ::close(fd);
}

// Creates the file row for a finished upload; answers the act data.
QJsonObject placeFile(const QVariantMap &ev, const QString &sha, QString *error)
{
    Session s;
    const QVariantMap u = svc().store.row(QStringLiteral("SELECT * FROM users WHERE id=?"), {ev.value("userid")});
    s.userid = ev.value("userid").toLongLong();
    s.schoolid = ev.value("schoolid").toLongLong();
    s.shenfen = u.value("shenfen").toInt();
    s.truename = u.value("truename").toString();
    const QVariantMap folder = disk::byId(ev.value("folderid").toLongLong());
    if (folder.isEmpty() || folder.value("deleted").toInt()) {
        *error = QStringLiteral("目标文件夹已被删除");
        return QJsonObject();
    }
    QString name = ev.value("filename").toString();
    const QVariantMap existing = disk::childByName(folder.value("id").toLongLong(), name);
    qint64 replaceId = 0;
    if (!existing.isEmpty()) {
        if (ev.value("uptype").toInt() == 1 && !existing.value("isdir").toInt())
            replaceId = existing.value("id").toLongLong();
        else
            name = disk::freeName(folder.value("id").toLongLong(), name);
    }
    const qint64 id = disk::putFile(s, folder.value("id").toLongLong(), name, ev.value("filesize").toLongLong(), sha, replaceId);
    const QString full = disk::byId(id).value("fullpath").toString();
    return QJsonObject{{"code", 0},
                       {"msg", QStringLiteral("上传成功")},
                       {"filepath", full},
                       {"fileid", QString::number(id)},
                       {"filename", name},
                       {"filesize", ev.value("filesize").toDouble()},
                       {"md5", sha},
                       {"files", QJsonArray{QJsonObject{{"path", full}, {"fileid", QString::number(id)}, {"code", 0}, {"msg", ""}}}}};
}

void failEvent(const QVariantMap &ev, int code, const QString &msg)
{
    const QString evtid = ev.value("evtid").toString();
    const QJsonObject r{{"code", code}, {"msg", msg}, {"filename", ev.value("filename").toString()}};
    acts::finish(evtid, r, r);
    svc().store.exec(QStringLiteral("DELETE FROM upload_blocks WHERE evtid=?"), {evtid});
    QFile::remove(partPath(evtid));
    dropState(evtid);
}

bool completeWith(const QVariantMap &ev, const QString &sha, QString *error)
{
    const QJsonObject data = placeFile(ev, sha, error);
    if (data.isEmpty())
        return false;
    const QString evtid = ev.value("evtid").toString();
    acts::finish(evtid, data,
                 QJsonObject{{"code", 0}, {"msg", QStringLiteral("上传成功")}, {"fileid", data.value("fileid")},
                             {"filepath", data.value("filepath")}});
    svc().store.exec(QStringLiteral("DELETE FROM upload_blocks WHERE evtid=?"), {evtid});
    dropState(evtid);
    return true;
}

// ------------------------------------------------------------ API server

void getUploadLink(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    QString err;
    const QVariantMap folder = disk::resolve(s, c.p("filepath").trimmed().isEmpty() ? QStringLiteral("/") : c.p("filepath"), &err);
    if (folder.isEmpty() || !folder.value("isdir").toInt()) {
        c.reply(1, QStringLiteral("目标文件夹不存在"));
        return;
    }
    const QString name = c.p("filename").trimmed();
    if (!disk::validName(name, &err)) {
        c.reply(1, err);
        return;
    }
    bool ok = false;
    const qint64 size = c.p("filesize").trimmed().toLongLong(&ok);
    if (!ok || size < 0 || size > (qint64(1) << 46)) {
        c.reply(1, QStringLiteral("文件大小无效"));
        return;
    }
    disk::Perms perms(s);
    if (!perms.allowed(folder, disk::Upload)) {
        c.reply(1, QStringLiteral("权限不足，无法上传到该文件夹"));
        return;
    }
    const int uptype = c.p("uptype").trimmed().toInt();
    Store &st = svc().store;
    Store::Tx tx(st);
    QString finalName = name;
    const QVariantMap existing = disk::childByName(folder.value("id").toLongLong(), name);
    if (!existing.isEmpty()) {
        if (uptype == 1 && existing.value("isdir").toInt()) {
            c.reply(1, QStringLiteral("存在同名文件夹，无法覆盖：%1").arg(name));
            return;
        }
        if (uptype == 2)
            finalName = disk::freeName(folder.value("id").toLongLong(), name);
        else if (uptype != 1) {
            c.reply(800001, QStringLiteral("文件已存在：%1").arg(name));
            return;
        }
    }
    const Layout l = layoutFor(size);
    const int server = svc().nextUploadServer();
    const QJsonObject params{{"filepath", folder.value("fullpath").toString()}, {"filename", finalName},
                             {"filesize", QString::number(size)}, {"uptype", QString::number(uptype)}};
    const QString evtid = acts::create(s, ActUpload, QStringLiteral("Upload"), params, c.ip, 0);
    st.exec(QStringLiteral("INSERT INTO uploads(evtid, server, folderid, filename, filesize, blocksize, totalblocknum, md5, uptype)"
                           " VALUES(?,?,?,?,?,?,?,'',?)"),
            {evtid, server, folder.value("id"), finalName, size, l.blocksize, l.totalblocknum, uptype});
    tx.commit();
    c.reply(0, QStringLiteral("获取成功"),
            QJsonObject{{"upserver", svc().uploadBase(server)},
                        {"evtid", evtid},
                        {"filename", finalName},
                        {"blocksize", double(l.blocksize)},
                        {"totalblocknum", double(l.totalblocknum)}});
}

// ---------------------------------------------------------- upload server

// Common checks of every upload-server call; answers the call on failure.
bool openEvent(Call &c, Session &s, QVariantMap &ev, bool allowDone = false)
{
    if (!auth::require(c, &s))
        return false;
    const QString evtid = c.p("evtid").trimmed();
    ev = evtid.isEmpty() ? QVariantMap() : eventRow(evtid);
    if (ev.isEmpty() || ev.value("schoolid").toLongLong() != s.schoolid) {
        c.reply(800002, QStringLiteral("上传任务不存在或已失效"));
        return false;
    }
    if (ev.value("server").toInt() != c.server) {
        c.reply(800005, QStringLiteral("该上传任务不属于此上传服务器，请向%1上传").arg(svc().uploadBase(ev.value("server").toInt())));
        return false;
    }
    if (ev.value("userid").toLongLong() != s.userid) {
        c.reply(403, QStringLiteral("无权操作他人的上传任务"));
        return false;
    }
    if (!allowDone && ev.value("status").toInt() == 99) {
        const QJsonObject r = json::parse(ev.value("result").toString().toUtf8()).toObject();
        if (r.value("code").toInt() != 0) {
            c.reply(800002, QStringLiteral("上传任务已结束：%1").arg(r.value("msg").toString()));
            return false;
        }
    }
    return true;
}

void chkMd5(Call &c)
{
    Session s;
    QVariantMap ev;
    if (!openEvent(c, s, ev))
        return;
    const QString md5 = c.p("filemd5").trimmed().toLower();
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (!hex.match(md5).hasMatch()) {
        c.reply(1, QStringLiteral("文件摘要格式错误，应为64位SHA-256"));
        return;
    }
    if (ev.value("status").toInt() == 99) {
        c.reply(0, 1, 1);
        return;
    }
    const QString evtid = ev.value("evtid").toString();
    auto state = stateOf(evtid);
    std::lock_guard<std::mutex> lk(state->mutex);
    Store &st = svc().store;
    Store::Tx tx(st);
    st.exec(QStringLiteral("UPDATE uploads SET md5=? WHERE evtid=?"), {md5, evtid});
    ev["md5"] = md5;
    const bool held = st.scalar(QStringLiteral("SELECT COUNT(*) FROM files WHERE sha256=? AND isdir=0"), {md5}).toInt() > 0
        && QFileInfo::exists(st.blobPath(md5));
    if (held && ev.value("status").toInt() == 0) {
        QString err;
        if (completeWith(ev, md5, &err)) {
            QFile::remove(partPath(evtid));
            tx.commit();
            c.reply(0, 1, 1);
            return;
        }
        failEvent(ev, 1, err);
        tx.commit();
        c.reply(1, err);
        return;
    }
    tx.commit();
    c.reply(0, 0, 0);
}

void chkBlock(Call &c)
{
    Session s;
    QVariantMap ev;
    if (!openEvent(c, s, ev, true))
        return;
    bool ok = false;
    const qint64 block = c.p("block").trimmed().toLongLong(&ok);
    const qint64 total = ev.value("totalblocknum").toLongLong();
    if (!ok || block < 0 || block > std::max<qint64>(total, 1)) {
        c.reply(800008, QStringLiteral("分块编号无效"));
        return;
    }
    const QString evtid = ev.value("evtid").toString();
    if (ev.value("status").toInt() == 99) {
        c.reply(0, 1, 1);
        return;
    }
    const int below = svc().store.scalar(QStringLiteral("SELECT COUNT(*) FROM upload_blocks WHERE evtid=? AND block<?"),
                                         {evtid, block}).toInt();
    if (below < block) {
        // Blocks before the resume point are gone: the upload must start over.
        c.reply(800003, QStringLiteral("已上传的分块不完整，请重新上传"));
        return;
    }
    const int have = hasBlock(evtid, block) ? 1 : 0;
    c.reply(0, have, have);
}

void cancelUpload(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const QString evtid = c.p("evtid").trimmed();
    const QVariantMap ev = evtid.isEmpty() ? QVariantMap() : eventRow(evtid);
    if (!ev.isEmpty() && ev.value("server").toInt() != c.server) {
        c.reply(800005, QStringLiteral("该上传任务不属于此上传服务器"));
        return;
    }
    if (!ev.isEmpty() && ev.value("status").toInt() == 0 && ev.value("userid").toLongLong() == s.userid) {
        auto state = stateOf(evtid);
        std::lock_guard<std::mutex> lk(state->mutex);
        Store::Tx tx(svc().store);
        failEvent(ev, 1, QStringLiteral("上传已取消"));
        tx.commit();
    }
    // Cancelling an event that is unknown or already over is not an error:
    // the client keeps a cancel pending until some server acknowledges it.
    c.reply(0, QStringLiteral("取消成功"), QJsonObject{{"evtid", evtid}});
}

void uploadBlock(Call &c)
{
    std::string blockData;
    QMap<QString, std::string> fields;
    bool inFile = false, tooLarge = false;
    std::string current;
    size_t cap = 5242880;
    const qint64 maxOpen = svc().store.scalar(
        QStringLiteral("SELECT MAX(u.blocksize) FROM uploads u JOIN acts a ON a.id=u.evtid WHERE a.status=0 AND u.server=?"),
        {c.server}).toLongLong();
    cap = size_t(std::max<qint64>(qint64(cap), maxOpen));
    const std::string type = c.req.get_header_value("Content-Type");
    const std::string boundary = MultipartParser::boundaryOf(type);
    if (type.find("multipart/form-data") == std::string::npos || boundary.empty()) {
        std::string sink;
        c.readBody(&sink, 0);
        c.reply(1, QStringLiteral("分块须以 multipart/form-data 提交"));
        return;
    }
    const size_t announced = size_t(std::max<long long>(0, std::atoll(c.req.get_header_value("Content-Length").c_str())));
    blockData.reserve(std::min(cap, announced));
    MultipartParser parser(
        boundary,
        [&](const std::string &name, const std::string &filename) {
            current = name;
            inFile = !filename.empty() || name == "file";
            if (!inFile)
                fields[QString::fromStdString(current)].clear();
        },
        [&](const char *data, size_t len) {
            if (inFile) {
                if (blockData.size() + len > cap)
                    tooLarge = true;
                else
                    blockData.append(data, len);
            } else {
                std::string &f = fields[QString::fromStdString(current)];
                if (f.size() + len <= 4096)
                    f.append(data, len);
            }
        });
    c.readStream([&](const char *data, size_t len) { parser.feed(data, len); });
    if (!parser.finished()) {
        c.reply(1, QStringLiteral("分块表单格式错误"));
        return;
    }
    for (auto it = fields.begin(); it != fields.end(); ++it)
        c.params.insert(it.key(), QString::fromStdString(it.value()));

    Session s;
    QVariantMap ev;
    if (!openEvent(c, s, ev))
        return;
    const QString evtid = ev.value("evtid").toString();
    const qint64 size = ev.value("filesize").toLongLong();
    const qint64 bs = ev.value("blocksize").toLongLong();
    const qint64 total = ev.value("totalblocknum").toLongLong();
    if (ev.value("status").toInt() == 99) {
        c.reply(0, QStringLiteral("上传已完成"));
        return;
    }
    bool okB = false, okT = false, okS = false;
    const qint64 block = c.p("block").trimmed().toLongLong(&okB);
    const qint64 sentTotal = c.p("totalblocknum").trimmed().toLongLong(&okT);
    const qint64 sentSize = c.p("blocksize").trimmed().toLongLong(&okS);
    if (!okT || !okS || sentTotal != total || sentSize != bs) {
        c.reply(800007, QStringLiteral("分块参数与文件大小不符：blocksize 应为 %1，totalblocknum 应为 %2").arg(bs).arg(total));
        return;
    }
    if (!okB || block < 0 || (total > 0 && block >= total) || (total == 0 && block != 0)) {
        c.reply(800008, QStringLiteral("分块编号无效：%1（共%2块）").arg(c.p("block")).arg(total));
        return;
    }
    const QString md5 = c.p("md5").trimmed().toLower();
    if (md5.isEmpty()) {
        c.reply(1, QStringLiteral("缺少文件摘要md5"));
        return;
    }
    const qint64 expect = total == 0 ? 0 : blockLength(ev, block);
    if (tooLarge || qint64(blockData.size()) > expect) {
        c.reply(800009, QStringLiteral("分块大小超出登记的大小（第%1块应为%2字节）").arg(block).arg(expect));
        return;
    }
    if (qint64(blockData.size()) != expect) {
        c.reply(800009, QStringLiteral("分块大小不符（第%1块应为%2字节，收到%3字节）").arg(block).arg(expect).arg(blockData.size()));
        return;
    }

    auto state = stateOf(evtid);
    std::lock_guard<std::mutex> lk(state->mutex);
    Store &st = svc().store;
    {
        Store::Tx tx(st);
        const QString known = st.scalar(QStringLiteral("SELECT md5 FROM uploads WHERE evtid=?"), {evtid}).toString();
        if (!known.isEmpty() && known != md5) {
            c.reply(800006, QStringLiteral("文件摘要与上传登记的不一致"));
            return;
        }
        if (known.isEmpty())
            st.exec(QStringLiteral("UPDATE uploads SET md5=? WHERE evtid=?"), {md5, evtid});
        tx.commit();
    }
    ev["md5"] = md5;
    if (expect > 0) {
        const int fd = ::open(QFile::encodeName(partPath(evtid)).constData(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0) {
            c.reply(500, QStringLiteral("服务器无法写入分块"));
            return;
        }
        qint64 put = 0;
        while (put < expect) {
            const ssize_t n = ::pwrite(fd, blockData.data() + put, size_t(expect - put), block * bs + put);
            if (n <= 0)
                break;
            put += n;
        }
        ::close(fd);
        if (put != expect) {
            c.reply(500, QStringLiteral("服务器写入分块失败"));
            return;
        }
    }
    st.exec(QStringLiteral("INSERT OR IGNORE INTO upload_blocks(evtid, block) VALUES(?,?)"), {evtid, block});
    // Keep the digest running over the contiguous prefix of blocks. Catching
    // up (after a restart) reads from disk, so it runs outside any store
    // transaction: only this event waits for it.
    catchUp(*state, ev, block);
    if (state->next == block) {
        state->hash->add(blockData.data(), blockData.size());
        ++state->next;
    }
    const qint64 have = st.scalar(QStringLiteral("SELECT COUNT(*) FROM upload_blocks WHERE evtid=?"), {evtid}).toLongLong();
    if (have < std::max<qint64>(total, 1)) {
        c.reply(0, QStringLiteral("分块上传成功"), QJsonObject{{"block", double(block)}});
        return;
    }
    catchUp(*state, ev, total);
    if (state->next < total) {
        c.reply(500, QStringLiteral("服务器读取分块失败"));
        return;
    }
    Store::Tx tx(st);
    const QString sha = state->hash->finalHex();
    if (sha != md5) {
        failEvent(ev, 1, QStringLiteral("文件校验失败：合并后的内容与登记的摘要不一致"));
        tx.commit();
        c.reply(800010, QStringLiteral("文件校验失败：合并后的内容与登记的摘要不一致"));
        return;
    }
    QString err;
    const QString part = partPath(evtid);
    bool stored = true;
    if (size == 0) {
        QString emptySha;
        stored = st.writeBlob(QByteArray(), &emptySha);
    } else {
        stored = st.adoptBlob(part, sha);
    }
    if (!stored || !completeWith(ev, sha, &err)) {
        failEvent(ev, 1, err.isEmpty() ? QStringLiteral("服务器保存文件失败") : err);
        tx.commit();
        c.reply(1, err.isEmpty() ? QStringLiteral("服务器保存文件失败") : err);
        return;
    }
    tx.commit();
    c.reply(0, QStringLiteral("上传完成"), QJsonObject{{"block", double(block)}, {"done", true}});
}

} // namespace

void registerApiRoutes(Router &r)
{
    r.add("/api/v1/wp/act/GetUploadLink", getUploadLink);
}

void registerUploadServerRoutes(Router &r)
{
    r.add("/v1/wp/file/ChkMD5", chkMd5);
    r.add("/v1/wp/file/ChkBlock", chkBlock);
    r.add("/v1/wp/file/CancelUpload", cancelUpload);
    r.add("/v1/wp/file/Upload", uploadBlock, true);
}

} // namespace upload
