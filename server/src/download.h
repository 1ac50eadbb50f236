#pragma once
// Downloads ("web/download/file" with byte ranges), inline file content for
// previews ("web/preview/file"), and the client pages with update.json.
#include <httplib.h>

#include <QString>
#include <QVariantMap>

class Router;
struct Call;

namespace download {

void registerRoutes(Router &main);
// Streams a blob, honouring a single byte range of the request; shared by
// downloads, previews and the document source.
void serveBlob(Call &c, const QString &sha, qint64 size, const QString &contentType, const QString &disposition);
void serveFile(Call &c, const QString &fsPath, qint64 size, const QString &contentType, const QString &disposition);
// Adds Content-Range to a 416 the HTTP library produced by itself.
void annotateRangeError(const httplib::Request &req, httplib::Response &res);
QString mimeFor(const QString &ext);

} // namespace download
