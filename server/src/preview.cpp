#include "preview.h"

#include "auth.h"
#include "disk.h"
#include "doctext.h"
#include "download.h"
#include "http.h"
#include "json.h"
#include "service.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace preview {
namespace {

QString page(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                          "<style>body{font-family:sans-serif;margin:0;background:#f5f7fa}"
                          "header{background:#0081dd;color:#fff;padding:10px 16px;font-size:16px}"
                          "main{padding:16px}pre{white-space:pre-wrap;background:#fff;padding:12px;border:1px solid #e4e7ed}"
                          "img{max-width:100%;display:block;margin:auto}"
                          "#viewer-kind{display:inline-block;font-size:12px;color:#fff;background:#909399;"
                          "border-radius:3px;padding:2px 8px;margin:0}</style></head>"
                          "<body><header>%1</header><main>%2</main></body></html>")
        .arg(title.toHtmlEscaped(), body);
}

// Whether u lies on this server's own main address (scheme, host and port).
bool isOurs(const QUrl &u)
{
    const QUrl base(svc().mainBase());
    return u.scheme() == base.scheme() && u.host() == base.host() && u.port(-1) == base.port(-1);
}

// The path with repeated slashes read as one, in lower case.
QString plainPath(const QUrl &u)
{
    QString p = u.path().toLower();
    while (p.contains(QLatin1String("//")))
        p.replace(QLatin1String("//"), QLatin1String("/"));
    return p;
}

// A file named by one of our own file addresses, with its token checked.
QVariantMap fileOfUrl(const QString &url, int bit, QString *error)
{
    const QUrl u(url);
    const QUrlQuery q(u);
    const QString path = plainPath(u);
    if (!isOurs(u) || (path != QLatin1String("/web/preview/file") && path != QLatin1String("/web/download/file"))) {
        *error = QStringLiteral("不支持的预览地址");
        return QVariantMap();
    }
    Session s;
    if (!auth::lookup(q.queryItemValue(QStringLiteral("tk"), QUrl::FullyDecoded), &s)) {
        *error = QStringLiteral("登录已失效，请重新登录");
        return QVariantMap();
    }
    const QVariantMap f = disk::byId(q.queryItemValue(QStringLiteral("fileid")).toLongLong());
    if (f.isEmpty() || f.value("deleted").toInt() || f.value("schoolid").toLongLong() != s.schoolid) {
        *error = QStringLiteral("文件不存在");
        return QVariantMap();
    }
    disk::Perms perms(s);
    if (!perms.allowed(f, bit)) {
        *error = QStringLiteral("权限不足");
        return QVariantMap();
    }
    return f;
}

void previewPage(Call &c)
{
    const QString url = c.p("url");
    const QString type = c.p("filetype").trimmed().toLower();
    const QString title = c.p("title").isEmpty() ? QStringLiteral("文件预览") : c.p("title");
    QString err;
    if (type != QLatin1String("image") && type != QLatin1String("txt")) {
        c.replyHtml(page(title, QStringLiteral("<p class=\"error\" id=\"preview-error\">不支持的文件类型</p>")), 200);
        return;
    }
    const QVariantMap f = fileOfUrl(url, disk::Preview, &err);
    if (f.isEmpty()) {
        c.replyHtml(page(title, QStringLiteral("<p class=\"error\" id=\"preview-error\">%1</p>").arg(err.toHtmlEscaped())), 200);
        return;
    }
    if (type == QLatin1String("image")) {
        c.replyHtml(page(title, QStringLiteral("<img id=\"preview-image\" alt=\"%1\" src=\"%2\">")
                                    .arg(f.value("name").toString().toHtmlEscaped(), url.toHtmlEscaped())));
        return;
    }
    const QString text = doctext::extract(svc().store.blobPath(f.value("sha256").toString()),
                                          disk::extOf(f.value("name").toString(), false));
    c.replyHtml(page(title, QStringLiteral("<pre id=\"preview-text\">%1</pre>").arg(text.toHtmlEscaped())));
}

QVariantMap fileOfWopi(const QString &src, const QString &token, QString *error)
{
    // Only the form the client builds: <api root>/v1/wp/wopi/files/<id>/review
    static const QRegularExpression re(QStringLiteral("^/api/v1/wp/wopi/files/(\\d+)/review$"));
    const QUrl u(src);
    const QRegularExpressionMatch m = re.match(plainPath(u));
    if (!isOurs(u) || !m.hasMatch() || u.hasQuery()) {
        *error = QStringLiteral("文档地址无效");
        return QVariantMap();
    }
    Session s;
    if (!auth::lookup(token, &s)) {
        *error = QStringLiteral("登录已失效，请重新登录");
        return QVariantMap();
    }
    const QVariantMap f = m.hasMatch() ? disk::byId(m.captured(1).toLongLong()) : QVariantMap();
    if (f.isEmpty() || f.value("deleted").toInt() || f.value("schoolid").toLongLong() != s.schoolid) {
        *error = QStringLiteral("文档不存在");
        return QVariantMap();
    }
    disk::Perms perms(s);
    if (!perms.allowed(f, disk::Preview)) {
        *error = QStringLiteral("权限不足");
        return QVariantMap();
    }
    return f;
}

// The viewer a docs address asks for, or empty for none of ours.
QString viewerKind(const Call &c)
{
    const QString path = QString::fromStdString(c.path);
    if (path == QLatin1String("/docs/wv/wordviewerframe.aspx"))
        return c.p("PdfMode") == QLatin1String("1") ? QStringLiteral("pdf") : QStringLiteral("word");
    if (path == QLatin1String("/docs/x/_layouts/xlviewerinternal.aspx"))
        return QStringLiteral("excel");
    if (path == QLatin1String("/docs/o/onenoteframe.aspx"))
        return QStringLiteral("onenote");
    if (path == QLatin1String("/docs/p/powerpointframe.aspx"))
        return QStringLiteral("powerpoint");
    return QString();
}

void docsPage(Call &c)
{
    QString err;
    const QString kind = viewerKind(c);
    if (kind.isEmpty()) {
        c.replyHtml(page(QStringLiteral("文档预览"), QStringLiteral("<p class=\"error\" id=\"preview-error\">不支持的查看器</p>")), 404);
        return;
    }
    const QVariantMap f = fileOfWopi(c.p("WOPISrc"), c.p("access_token"), &err);
    if (f.isEmpty()) {
        c.replyHtml(page(QStringLiteral("文档预览"), QStringLiteral("<p class=\"error\" id=\"preview-error\">%1</p>").arg(err.toHtmlEscaped())));
        return;
    }
    const QString name = f.value("name").toString();
    const QString text = doctext::extract(svc().store.blobPath(f.value("sha256").toString()), disk::extOf(name, false));
    c.replyHtml(page(name, QStringLiteral("<p id=\"viewer-kind\">%3</p><h2 id=\"doc-name\">%1</h2><pre id=\"doc-text\">%2</pre>")
                               .arg(name.toHtmlEscaped(),
                                    text.isEmpty() ? QStringLiteral("（此文档没有可显示的文字）") : text.toHtmlEscaped(),
                                    kind)));
}

void wopiFiles(Call &c)
{
    // "/api/v1/wp/wopi/files/<id>[/review|/contents]"
    static const QRegularExpression re(QStringLiteral("^/api/v1/wp/wopi/files/(\\d+)(/review)?(/contents)?$"));
    const QRegularExpressionMatch m = re.match(QString::fromStdString(c.path));
    Session s;
    if (!m.hasMatch() || !auth::lookup(c.token, &s)) {
        c.reply(m.hasMatch() ? -1 : 1, m.hasMatch() ? QStringLiteral("登录已失效，请重新登录") : QStringLiteral("文档不存在"));
        c.res.status = m.hasMatch() ? 401 : 404;
        return;
    }
    const QVariantMap f = disk::byId(m.captured(1).toLongLong());
    if (f.isEmpty() || f.value("deleted").toInt() || f.value("isdir").toInt() || f.value("schoolid").toLongLong() != s.schoolid) {
        c.reply(1, QStringLiteral("文档不存在"));
        c.res.status = 404;
        return;
    }
    disk::Perms perms(s);
    if (!perms.allowed(f, disk::Preview)) {
        c.reply(1, QStringLiteral("权限不足"));
        c.res.status = 403;
        return;
    }
    const QString name = f.value("name").toString();
    if (!m.captured(3).isEmpty()) {
        download::serveBlob(c, f.value("sha256").toString(), f.value("size").toLongLong(),
                            download::mimeFor(disk::extOf(name, false)), QString());
        return;
    }
    const QJsonObject info{{"BaseFileName", name},
                           {"Size", f.value("size").toDouble()},
                           {"OwnerId", f.value("adduserid").toString()},
                           {"UserId", QString::number(s.userid)},
                           {"UserFriendlyName", s.truename},
                           {"Version", f.value("banben").toString()},
                           {"SHA256", f.value("sha256").toString()},
                           {"LastModifiedTime", f.value("updatetime").toString()},
                           {"UserCanWrite", false},
                           {"ReadOnly", true},
                           {"fileid", f.value("id").toString()},
                           {"filename", name},
                           {"filesize", f.value("size").toDouble()}};
    c.replyRaw(json::write(info).toStdString(), "application/json; charset=utf-8");
}

} // namespace

void registerRoutes(Router &r)
{
    r.add("/preview", previewPage);
    r.addPrefix("/docs", docsPage);
    r.addPrefix("/api/v1/wp/wopi/files", wopiFiles);
}

} // namespace preview
