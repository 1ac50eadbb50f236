#include "http.h"

#include "download.h"
#include "json.h"
#include "service.h"

#include <QByteArray>
#include <QDateTime>
#include <QLoggingCategory>

#include <chrono>
#include <cstdio>
#include <strings.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcHttp, "orvel.server.http")

namespace {

thread_local std::chrono::steady_clock::time_point t_start;

QString decodeComponent(const std::string &s)
{
    QByteArray b = QByteArray::fromStdString(s);
    b.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(b));
}

void parseForm(const std::string &body, QMap<QString, QString> &out)
{
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t amp = body.find('&', pos);
        if (amp == std::string::npos)
            amp = body.size();
        const std::string pair = body.substr(pos, amp - pos);
        if (!pair.empty()) {
            const size_t eq = pair.find('=');
            const std::string k = eq == std::string::npos ? pair : pair.substr(0, eq);
            const std::string v = eq == std::string::npos ? std::string() : pair.substr(eq + 1);
            out.insert(decodeComponent(k), decodeComponent(v));
        }
        pos = amp + 1;
    }
}

QString defaultFaultMsg(long long code)
{
    switch (code) {
    case 1: return QStringLiteral("未获取到队列信息");
    case -1: return QStringLiteral("登录失效");
    case -2: return QStringLiteral("未选择学校");
    case 800003: return QStringLiteral("上传信息已失效，请重新上传");
    case 800004: return QStringLiteral("服务器繁忙，请稍后重试");
    default: return QStringLiteral("模拟的服务端错误");
    }
}

// Turns whatever the handler produced into a provider so that the fault can
// cut or pause the body.
void wrapBody(httplib::Response &res, const Fault &f)
{
    httplib::ContentProvider inner;
    size_t length = 0;
    if (res.content_provider_ && !res.is_chunked_content_provider_ && res.content_length_ > 0) {
        inner = res.content_provider_;
        length = res.content_length_;
    } else {
        auto body = std::make_shared<std::string>(std::move(res.body));
        res.body.clear();
        if (body->empty())
            *body = " "; // a provider needs at least one byte to be sent as such
        length = body->size();
        inner = [body](size_t off, size_t len, httplib::DataSink &sink) {
            return sink.write(body->data() + off, std::min(len, body->size() - off));
        };
    }
    const std::string type = res.has_header("Content-Type") ? res.get_header_value("Content-Type")
                                                            : std::string("application/octet-stream");
    // Remove the old type header; set_content_provider sets it again.
    for (auto it = res.headers.begin(); it != res.headers.end();) {
        if (it->first == "Content-Type")
            it = res.headers.erase(it);
        else
            ++it;
    }
    const std::string kind = f.kind;
    const long long value = f.value;
    const long long after = f.after;
    auto stalled = std::make_shared<bool>(false);
    res.set_content_provider(
        length, type, [inner, kind, value, after, stalled](size_t off, size_t len, httplib::DataSink &sink) {
            size_t limit = len;
            if (kind == "drop") {
                if (static_cast<long long>(off) >= value)
                    return false; // closes the connection
                limit = std::min<size_t>(len, size_t(value - static_cast<long long>(off)));
            } else if (kind == "slow") {
                // A slow link: the body in small pieces, value ms apart.
                if (off > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(value));
                limit = std::min<size_t>(len, size_t(std::max<long long>(1, after)));
            } else if (kind == "stall" && !*stalled) {
                if (static_cast<long long>(off) >= after) {
                    *stalled = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(value));
                } else {
                    limit = std::min<size_t>(len, size_t(after - static_cast<long long>(off)));
                }
            }
            // Forward through a sink that keeps to the limit.
            size_t written = 0;
            httplib::DataSink proxy;
            proxy.write = [&](const char *d, size_t n) {
                const size_t take = std::min(n, limit - written);
                if (take && !sink.write(d, take))
                    return false;
                written += take;
                return take == n;
            };
            proxy.is_writable = [&] { return sink.is_writable(); };
            proxy.done = [&] { sink.done(); };
            const bool ok = inner(off, limit, proxy);
            if (kind == "drop" && static_cast<long long>(off + written) >= value)
                return false;
            return ok || written == limit;
        });
}

} // namespace

void Call::reply(int code, const QJsonValue &msg, const QJsonValue &data)
{
    res.status = 200;
    const QByteArray b = json::envelope(code, msg, data);
    res.set_content(b.constData(), size_t(b.size()), "application/json; charset=utf-8");
}

void Call::replyJson(const QByteArray &body)
{
    res.status = 200;
    res.set_content(body.constData(), size_t(body.size()), "application/json; charset=utf-8");
}

void Call::replyRaw(const std::string &body, const char *contentType, int status)
{
    res.status = status;
    res.set_content(body, contentType);
}

void Call::replyHtml(const QString &html, int status)
{
    replyRaw(html.toStdString(), "text/html; charset=utf-8", status);
}

void Call::readStream(const std::function<void(const char *, size_t)> &sink)
{
    if (!reader)
        return;
    // The library parses multipart bodies itself when asked for the raw body
    // (and fails on the client's part headers); hide the type so the bytes come through.
    for (auto &h : const_cast<httplib::Request &>(req).headers) {
        if (strcasecmp(h.first.c_str(), "Content-Type") == 0 && h.second.find("multipart/") != std::string::npos)
            h.second = "application/octet-stream; was=" + h.second;
    }
    (*reader)([&](const char *data, size_t len) {
        sink(data, len);
        return true; // keep reading so the connection stays usable
    });
}

bool Call::readBody(std::string *out, size_t limit)
{
    bool tooLarge = false;
    readStream([&](const char *data, size_t len) {
        if (out->size() + len > limit)
            tooLarge = true;
        else
            out->append(data, len);
    });
    return !tooLarge;
}

void Router::add(const std::string &path, Handler h, bool rawBody)
{
    m_exact[normalisePath(path)] = Route{std::move(h), rawBody};
}

void Router::addPrefix(const std::string &prefix, Handler h, bool rawBody)
{
    m_prefix.emplace_back(normalisePath(prefix), Route{std::move(h), rawBody});
}

const Router::Route *Router::find(const std::string &path) const
{
    auto it = m_exact.find(path);
    if (it != m_exact.end())
        return &it->second;
    const Route *best = nullptr;
    size_t bestLen = 0;
    for (const auto &p : m_prefix) {
        const std::string &pre = p.first;
        const bool match = path == pre || (path.compare(0, pre.size(), pre) == 0
                                           && (pre == "/" || path[pre.size()] == '/'));
        if (match && pre.size() >= bestLen) {
            best = &p.second;
            bestLen = pre.size();
        }
    }
    return best;
}

HttpServer::HttpServer(int index, Router &router, Router *control)
    : m_index(index), m_router(router), m_control(control)
{
}

HttpServer::~HttpServer()
{
    stop();
    join();
}

int HttpServer::start(const std::string &host, int port)
{
    const Config &cfg = svc().cfg;
    if (!cfg.tlsCert.isEmpty()) {
        auto *s = new httplib::SSLServer(cfg.tlsCert.toLocal8Bit().constData(), cfg.tlsKey.toLocal8Bit().constData());
        m_server.reset(s);
        if (!s->is_valid())
            return -1;
    } else {
        m_server.reset(new httplib::Server);
    }
    httplib::Server &s = *m_server;
    // One thread serves one connection for as long as it is kept alive, so the
    // pool must be larger than the connections clients keep open at once.
    const size_t threads = m_index == 0 ? 256 : 64;
    s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    s.set_keep_alive_max_count(1000);
    s.set_keep_alive_timeout(5);
    s.set_read_timeout(30);
    s.set_write_timeout(60);
    s.set_tcp_nodelay(true);
    int fd = -1;
    s.set_socket_options([&fd](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        fd = sock;
    });
    s.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        t_start = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request &req, httplib::Response &res) {
            download::annotateRangeError(req, res);
            return httplib::Server::HandlerResponse::Unhandled;
        }));
    const int idx = m_index;
    s.set_logger([idx](const httplib::Request &req, const httplib::Response &res) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t_start).count();
        const size_t bytes = res.content_provider_ ? res.content_length_ : res.body.size();
        svc().requests.add({svc().portOf(idx), req.method, normalisePath(req.path), res.status});
        if (!svc().cfg.quiet) {
            // The path only: queries may carry tokens ("tk=").
            std::fprintf(stderr, "%s %s [%d] %d %zu %lldms\n", req.method.c_str(), req.path.c_str(),
                         svc().portOf(idx), res.status, bytes, static_cast<long long>(ms));
        }
    });
    auto plain = [this](const httplib::Request &req, httplib::Response &res) { handle(req, res, nullptr); };
    auto withBody = [this](const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &reader) {
        handle(req, res, &reader);
    };
    s.Get(".*", plain);
    s.Post(".*", withBody);
    s.Put(".*", withBody);
    s.Delete(".*", withBody);
    s.Options(".*", plain);

    const int bound = port == 0 ? s.bind_to_any_port(host) : (s.bind_to_port(host, port) ? port : -1);
    if (bound < 0)
        return -1;
    if (fd >= 0)
        ::listen(fd, 1024); // the library's backlog is tiny; a burst of clients needs more
    m_port = bound;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    return bound;
}

void HttpServer::stop()
{
    if (m_server)
        m_server->stop();
}

void HttpServer::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void HttpServer::handle(const httplib::Request &req, httplib::Response &res, const httplib::ContentReader *reader)
{
    Call call(req, res);
    call.reader = reader;
    call.server = m_index;
    call.rawPath = req.path;
    call.path = normalisePath(req.path);
    call.ip = QString::fromStdString(req.remote_addr);
    for (const auto &kv : req.params)
        call.params.insert(QString::fromStdString(kv.first), QString::fromStdString(kv.second));
    const std::string auth = req.get_header_value("Authorization");
    if (auth.compare(0, 7, "Bearer ") == 0 || auth.compare(0, 7, "bearer ") == 0)
        call.token = QString::fromStdString(auth.substr(7)).trimmed();

    try {
        if (m_control && call.path.compare(0, 11, "/__control/") == 0) {
            const Router::Route *r = m_control->find(call.path);
            if (r)
                r->handler(call);
            else
                call.reply(404, QStringLiteral("未知的控制接口"));
            return;
        }

        Fault fault;
        const bool faulty = svc().faults.take(call.path, svc().portOf(m_index), &fault);
        if (faulty && fault.kind != "delay" && fault.kind != "drop" && fault.kind != "stall" && fault.kind != "slow" && reader) {
            // Answering before the body is read would reset a client still
            // sending it; take the body first, as a real server would.
            std::string sink;
            call.readBody(&sink, 0);
        }
        if (faulty) {
            if (fault.kind == "delay") {
                std::this_thread::sleep_for(std::chrono::milliseconds(fault.value));
            } else if (fault.kind == "status") {
                call.replyRaw("<html><body>injected status</body></html>", "text/html", int(fault.value));
                return;
            } else if (fault.kind == "garbage") {
                call.replyRaw("<html><body>502 Bad Gateway: this is not JSON</body></html>", "text/html", 200);
                return;
            } else if (fault.kind == "code") {
                call.reply(int(fault.value), fault.msg.isEmpty() ? defaultFaultMsg(fault.value) : fault.msg);
                return;
            }
        }

        const Router::Route *route = m_router.find(call.path);
        if (!route) {
            if (reader) {
                std::string sink;
                call.readBody(&sink, 0);
            }
            call.reply(404, QStringLiteral("接口不存在：%1").arg(QString::fromStdString(req.path)));
            res.status = 404;
        } else {
            if (reader && !route->rawBody) {
                std::string body;
                if (!call.readBody(&body, 64u << 20)) {
                    call.reply(413, QStringLiteral("请求内容过大"));
                    return;
                }
                const std::string type = req.get_header_value("Content-Type");
                if (type.find("multipart/") == std::string::npos)
                    parseForm(body, call.params);
            }
            if (call.token.isEmpty()) {
                call.token = call.p("tk");
                if (call.token.isEmpty())
                    call.token = call.p("access_token");
            }
            route->handler(call);
        }
        if (faulty && (fault.kind == "drop" || fault.kind == "stall" || fault.kind == "slow"))
            wrapBody(res, fault);
    } catch (const std::exception &e) {
        qCWarning(lcHttp) << "handler failed" << e.what();
        call.reply(500, QStringLiteral("服务器内部错误"));
        res.status = 500;
    }
}
