#include "download.h"
#include "byterange.h"

#include "auth.h"
#include "disk.h"
#include "http.h"
#include "control.h"
#include "json.h"
#include "service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace download {

QString mimeFor(const QString &ext)
{
    static const QHash<QString, QString> types{
        {"txt", "text/plain; charset=utf-8"}, {"md", "text/plain; charset=utf-8"}, {"csv", "text/csv; charset=utf-8"},
        {"html", "text/html; charset=utf-8"}, {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"png", "image/png"},
        {"gif", "image/gif"}, {"bmp", "image/bmp"}, {"webp", "image/webp"}, {"svg", "image/svg+xml"},
        {"pdf", "application/pdf"}, {"json", "application/json"}, {"mp4", "video/mp4"}, {"mp3", "audio/mpeg"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    };
    return types.value(ext, QStringLiteral("application/octet-stream"));
}

namespace {

bool fileFromCall(Call &c, Session &s, QVariantMap &f, int bit)
{
    if (!auth::lookup(c.token, &s) || s.schoolid == 0) {
        c.reply(-1, QStringLiteral("登录已失效，请重新登录"));
        c.res.status = 403;
        return false;
    }
    bool ok = false;
    const qint64 id = c.p("fileid").trimmed().toLongLong(&ok);
    f = ok ? disk::byId(id) : QVariantMap();
    if (f.isEmpty() || f.value("deleted").toInt() || f.value("isdir").toInt() || f.value("schoolid").toLongLong() != s.schoolid) {
        c.reply(1, QStringLiteral("文件不存在"));
        c.res.status = 404;
        return false;
    }
    disk::Perms perms(s);
    if (!perms.allowed(f, bit)) {
        c.reply(1, QStringLiteral("权限不足"));
        c.res.status = 403;
        return false;
    }
    return true;
}

void webDownload(Call &c)
{
    Session s;
    QVariantMap f;
    if (!fileFromCall(c, s, f, disk::Download))
        return;
    const std::string range = c.req.get_header_value("Range");
    if (range.empty() || range.find("bytes=0-") != std::string::npos)
        disk::recordVisit(s, f.value("id").toLongLong(), c.ip, QStringLiteral("下载"));
    serveBlob(c, f.value("sha256").toString(), f.value("size").toLongLong(), QStringLiteral("application/octet-stream"),
              QStringLiteral("attachment;filename=") + f.value("name").toString());
}

void webPreview(Call &c)
{
    Session s;
    QVariantMap f;
    if (!fileFromCall(c, s, f, disk::Preview))
        return;
    disk::recordVisit(s, f.value("id").toLongLong(), c.ip, QStringLiteral("预览"));
    serveBlob(c, f.value("sha256").toString(), f.value("size").toLongLong(),
              mimeFor(disk::extOf(f.value("name").toString(), false)),
              QStringLiteral("inline;filename=") + f.value("name").toString());
}

void getDownLoadLink(Call &c)
{
    Session s;
    if (!auth::require(c, &s))
        return;
    const QJsonObject o{{"upserver", svc().mainBase()}};
    c.reply(0, o, o);
}

QJsonValue substituteRoot(const QJsonValue &v)
{
    if (v.isString()) {
        QString t = v.toString();
        t.replace(QLatin1String("{root}"), svc().mainBase());
        return t;
    }
    if (v.isArray()) {
        QJsonArray out;
        for (const QJsonValue &e : v.toArray())
            out.append(substituteRoot(e));
        return out;
    }
    if (v.isObject()) {
        QJsonObject out;
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            out[it.key()] = substituteRoot(it.value());
        return out;
    }
    return v;
}

void updateJson(Call &c)
{
    QFile f(svc().store.clientDir() + QStringLiteral("/update.json"));
    QJsonObject o;
    if (f.open(QIODevice::ReadOnly)) {
        const QJsonValue v = json::parse(f.readAll());
        if (!v.isObject()) {
            c.replyRaw(json::write(QJsonObject{{"msg", QStringLiteral("更新描述文件格式错误")}}).toStdString(),
                       "application/json; charset=utf-8");
            return;
        }
        o = substituteRoot(v).toObject();
    } else {
        // Without a description the published version is the running one, so
        // a client of this build sees nothing to update.
        o = QJsonObject{{"version", QStringLiteral(ORVEL_VERSION)},
                        {"low", QStringLiteral(ORVEL_VERSION)},
                        {"memo", QStringLiteral("当前已是最新版本")},
                        {"files", QJsonArray()},
                        {"deleteFiles", QJsonArray()}};
    }
    c.replyRaw(json::write(o).toStdString(), "application/json; charset=utf-8");
}

void clientFiles(Call &c)
{
    // "/client/<path>": files of the data folder's client directory.
    const QString rel = QString::fromStdString(c.rawPath).section(QLatin1Char('/'), 1, -1, QString::SectionSkipEmpty);
    const QStringList segs = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &seg : segs) {
        if (seg == QLatin1String("..") || seg == QLatin1String(".")) {
            c.reply(1, QStringLiteral("路径不合法"));
            c.res.status = 400;
            return;
        }
    }
    if (segs.isEmpty()) {
        c.replyHtml(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>客户端下载</title></head>"
                                   "<body><h1>Corvane 网盘客户端</h1><p>版本 %1</p></body></html>")
                        .arg(QStringLiteral(ORVEL_VERSION)));
        return;
    }
    const QString path = svc().store.clientDir() + QLatin1Char('/') + segs.join(QLatin1Char('/'));
    const QFileInfo fi(path);
    if (!fi.isFile() || !fi.canonicalFilePath().startsWith(QDir(svc().store.clientDir()).canonicalPath() + QLatin1Char('/'))) {
        c.reply(1, QStringLiteral("文件不存在"));
        c.res.status = 404;
        return;
    }
    serveFile(c, fi.absoluteFilePath(), fi.size(), mimeFor(fi.suffix().toLower()),
              QStringLiteral("attachment;filename=") + fi.fileName());
}

} // namespace

void serveBlob(Call &c, const QString &sha, qint64 size, const QString &contentType, const QString &disposition)
{
    serveFile(c, svc().store.blobPath(sha), size, contentType, disposition);
}

void serveFile(Call &c, const QString &fsPath, qint64 size, const QString &contentType, const QString &disposition)
{
    qint64 from = 0, to = size - 1;
    bool ranged = false;
    if (!parseRangeHeader(c.req.get_header_value("Range"), size, &from, &to, &ranged)) {
        c.res.status = 416;
        c.res.set_header("Content-Range", "bytes */" + std::to_string(size));
        c.res.set_content("", "text/plain");
        const_cast<httplib::Request &>(c.req).ranges.clear();
        return;
    }
    // The library would apply the range a second time; this code owns it.
    const_cast<httplib::Request &>(c.req).ranges.clear();
    c.res.set_header("Accept-Ranges", "bytes");
    if (!disposition.isEmpty())
        c.res.set_header("Content-Disposition", disposition.toStdString());
    if (size == 0) {
        c.res.status = 200;
        c.res.set_content("", contentType.toStdString());
        return;
    }
    const qint64 len = to - from + 1;
    c.res.status = ranged ? 206 : 200;
    if (ranged)
        c.res.set_header("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" + std::to_string(size));
    const std::string path = QFile::encodeName(fsPath).toStdString();
    auto fd = std::make_shared<int>(::open(path.c_str(), O_RDONLY));
    if (*fd < 0) {
        c.reply(1, QStringLiteral("文件内容丢失"));
        c.res.status = 410;
        return;
    }
    posix_fadvise(*fd, from, len, POSIX_FADV_SEQUENTIAL);
    // No bigger than what is sent: a small file's download allocates (and
    // clears) a few KiB, not a MiB.
    auto buf = std::make_shared<std::string>(size_t(std::min<qint64>(len, qint64(1) << 20)), '\0');
    c.res.set_content_provider(
        size_t(len), contentType.toStdString(),
        [fd, buf, from](size_t off, size_t l, httplib::DataSink &sink) {
            if (*fd < 0)
                return false;
            const size_t want = std::min(l, buf->size());
            const ssize_t n = ::pread(*fd, &(*buf)[0], want, from + qint64(off));
            if (n <= 0)
                return false;
            return sink.write(buf->data(), size_t(n));
        },
        [fd](bool) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        });
}

void annotateRangeError(const httplib::Request &req, httplib::Response &res)
{
    // The library refuses a Range header it cannot parse before any handler
    // runs; name the size as a 416 should, when the caller may know it.
    if (res.status != 416 || res.has_header("Content-Range"))
        return;
    const std::string path = normalisePath(req.path);
    if (path != "/web/download/file" && path != "/web/preview/file")
        return;
    Session s;
    const QVariantMap f = disk::byId(QString::fromStdString(req.get_param_value("fileid")).toLongLong());
    if (!auth::lookup(QString::fromStdString(req.get_param_value("tk")), &s) || f.isEmpty()
        || f.value("schoolid").toLongLong() != s.schoolid || f.value("deleted").toInt())
        return;
    res.set_header("Content-Range", "bytes */" + std::to_string(f.value("size").toLongLong()));
}

void registerRoutes(Router &r)
{
    r.add("/web/download/file", webDownload);
    r.add("/web/preview/file", webPreview);
    r.add("/api/v1/wp/act/GetDownLoadLink", getDownLoadLink);
    r.add("/client/update.json", updateJson);
    r.addPrefix("/client", clientFiles);
}

} // namespace download
