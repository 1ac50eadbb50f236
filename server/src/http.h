#pragma once
// HTTP front of orvel-server: one catch-all handler per method hands every
// request to a Router after normalising its path (repeated slashes read as
// one), applying injected faults, and parsing form parameters.
#include <httplib.h>

#include <QJsonValue>
#include <QMap>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct Call {
    Call(const httplib::Request &rq, httplib::Response &rs) : req(rq), res(rs) {}
    const httplib::Request &req;
    httplib::Response &res;
    const httplib::ContentReader *reader = nullptr; // set for POST/PUT/DELETE
    int server = 0;           // 0 main server, 1.. upload servers
    std::string path;         // normalised, lower case, e.g. "/api/v1/wp/file/getlist"
    std::string rawPath;      // as sent, with case kept (for names in paths)
    QMap<QString, QString> params;
    QString token;            // bearer token ("Authorization") or "tk"
    QString ip;

    QString p(const char *key) const { return params.value(QString::fromLatin1(key)); }
    bool has(const char *key) const { return params.contains(QString::fromLatin1(key)); }

    void reply(int code, const QJsonValue &msg, const QJsonValue &data = QJsonValue());
    // A whole reply already written as JSON text (large listings).
    void replyJson(const QByteArray &body);
    void replyRaw(const std::string &body, const char *contentType, int status = 200);
    void replyHtml(const QString &html, int status = 200);
    // Reads the rest of the body (form posts); false when it is too large.
    bool readBody(std::string *out, size_t limit);
    // Hands the raw body to sink piece by piece (also for multipart bodies).
    void readStream(const std::function<void(const char *, size_t)> &sink);
};

using Handler = std::function<void(Call &)>;

class Router
{
public:
    // Exact path (normalised). rawBody: the handler reads the body itself.
    void add(const std::string &path, Handler h, bool rawBody = false);
    // Any path below the prefix.
    void addPrefix(const std::string &prefix, Handler h, bool rawBody = false);

    struct Route {
        Handler handler;
        bool rawBody = false;
    };
    const Route *find(const std::string &path) const;

private:
    std::map<std::string, Route> m_exact;
    std::vector<std::pair<std::string, Route>> m_prefix;
};

class HttpServer
{
public:
    HttpServer(int index, Router &router, Router *control);
    ~HttpServer();
    // Binds and starts accepting on a thread of its own; returns the port or -1.
    int start(const std::string &host, int port);
    void stop();
    void join();

private:
    void handle(const httplib::Request &req, httplib::Response &res, const httplib::ContentReader *reader);

    int m_index;
    Router &m_router;
    Router *m_control;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};
