// orvel-server: a stand-in of the school disk service (API, single sign-on,
// upload servers, downloads, previews, update description) for demos and
// tests. See server/README.md for the command line and the data layout.
#include "acts.h"
#include "auth.h"
#include "control.h"
#include "disk.h"
#include "download.h"
#include "http.h"
#include "preview.h"
#include "seed.h"
#include "service.h"
#include "upload.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <vector>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: orvel-server --listen HOST:PORT --data DIR [--seed demo] [--upload-ports N]\n"
                 "                    [--upload-port-list P1,P2,...] [--control] [--act-delay-ms N]\n"
                 "                    [--tls-cert FILE --tls-key FILE] [--quiet] [--exit-with-parent]\n");
}

bool parseArgs(const QStringList &args, Config &cfg, QString *error)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        auto next = [&](QString *out) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *out = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--listen")) {
            if (!next(&v))
                return false;
            const int colon = v.lastIndexOf(QLatin1Char(':'));
            bool ok = false;
            cfg.port = v.mid(colon + 1).toInt(&ok);
            if (colon < 0 || !ok || cfg.port < 0 || cfg.port > 65535) {
                *error = QStringLiteral("--listen wants HOST:PORT");
                return false;
            }
            cfg.host = v.left(colon);
            if (cfg.host.startsWith(QLatin1Char('[')) && cfg.host.endsWith(QLatin1Char(']')))
                cfg.host = cfg.host.mid(1, cfg.host.size() - 2);
            if (cfg.host.isEmpty())
                cfg.host = QStringLiteral("127.0.0.1");
        } else if (a == QLatin1String("--data")) {
            if (!next(&cfg.dataDir))
                return false;
        } else if (a == QLatin1String("--seed")) {
            if (!next(&cfg.seed))
                return false;
            if (cfg.seed != QLatin1String("demo")) {
                *error = QStringLiteral("--seed knows only \"demo\"");
                return false;
            }
        } else if (a == QLatin1String("--upload-ports")) {
            if (!next(&v))
                return false;
            cfg.uploadCount = v.toInt();
            if (cfg.uploadCount < 1 || cfg.uploadCount > 16) {
                *error = QStringLiteral("--upload-ports wants 1 to 16");
                return false;
            }
        } else if (a == QLatin1String("--upload-port-list")) {
            if (!next(&v))
                return false;
            cfg.uploadPorts.clear();
            for (const QString &p : v.split(QLatin1Char(','), Qt::SkipEmptyParts))
                cfg.uploadPorts.append(p.toInt());
        } else if (a == QLatin1String("--control")) {
            cfg.control = true;
        } else if (a == QLatin1String("--act-delay-ms")) {
            if (!next(&v))
                return false;
            cfg.actDelayMs = v.toInt();
        } else if (a == QLatin1String("--tls-cert")) {
            if (!next(&cfg.tlsCert))
                return false;
        } else if (a == QLatin1String("--tls-key")) {
            if (!next(&cfg.tlsKey))
                return false;
        } else if (a == QLatin1String("--quiet")) {
            cfg.quiet = true;
        } else if (a == QLatin1String("--exit-with-parent")) {
            cfg.exitWithParent = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage();
            std::exit(0);
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            return false;
        }
    }
    if (cfg.dataDir.isEmpty()) {
        *error = QStringLiteral("--data DIR is required");
        return false;
    }
    if (cfg.tlsCert.isEmpty() != cfg.tlsKey.isEmpty()) {
        *error = QStringLiteral("--tls-cert and --tls-key go together");
        return false;
    }
    if (!cfg.uploadPorts.isEmpty())
        cfg.uploadCount = cfg.uploadPorts.size();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Block the stop signals before any thread exists so that only sigwait
    // below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    Config &cfg = svc().cfg;
    QString error;
    if (!parseArgs(app.arguments(), cfg, &error)) {
        std::fprintf(stderr, "orvel-server: %s\n", qPrintable(error));
        usage();
        return 2;
    }
    if (cfg.exitWithParent) {
        // A test that crashes must not leave its server behind: the kernel
        // sends SIGTERM (caught by sigwait below) when the parent goes away.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1)
            return 0;
    }
    cfg.dataDir = QDir(cfg.dataDir).absolutePath();
    if (!svc().store.open(cfg.dataDir, &error)) {
        std::fprintf(stderr, "orvel-server: %s\n", qPrintable(error));
        return 1;
    }
    seed::base();
    if (cfg.seed == QLatin1String("demo"))
        seed::demo();

    Router mainRouter, uploadRouter, controlRouter;
    auth::registerRoutes(mainRouter);
    disk::registerRoutes(mainRouter);
    acts::registerRoutes(mainRouter);
    upload::registerApiRoutes(mainRouter);
    upload::registerUploadServerRoutes(uploadRouter);
    download::registerRoutes(mainRouter);
    preview::registerRoutes(mainRouter);
    registerControlRoutes(controlRouter);

    const std::string host = cfg.host.toStdString();
    std::vector<std::unique_ptr<HttpServer>> uploads;
    QList<int> uploadPorts;
    for (int i = 1; i <= cfg.uploadCount; ++i) {
        uploads.emplace_back(new HttpServer(i, uploadRouter, nullptr));
        const int want = i - 1 < cfg.uploadPorts.size() ? cfg.uploadPorts.at(i - 1) : 0;
        const int port = uploads.back()->start(host, want);
        if (port < 0) {
            std::fprintf(stderr, "orvel-server: cannot listen on %s:%d for upload server %d\n", host.c_str(), want, i);
            return 1;
        }
        uploadPorts.append(port);
    }
    // Addresses must be known before the main server answers anything.
    svc().setAddresses(cfg.port, uploadPorts);
    HttpServer mainServer(0, mainRouter, cfg.control ? &controlRouter : nullptr);
    const int port = mainServer.start(host, cfg.port);
    if (port < 0) {
        std::fprintf(stderr, "orvel-server: cannot listen on %s:%d\n", host.c_str(), cfg.port);
        return 1;
    }
    svc().setAddresses(port, uploadPorts);

    Acts actRunner;
    svc().acts = &actRunner;
    actRunner.start();

    std::printf("listening on %s\n", qPrintable(svc().rootUrl()));
    QStringList ups;
    for (int i = 1; i <= svc().uploadServerCount(); ++i)
        ups.append(svc().uploadBase(i));
    std::printf("upload servers: %s\n", qPrintable(ups.join(QLatin1Char(' '))));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    if (!cfg.quiet)
        std::fprintf(stderr, "orvel-server: stopping on signal %d\n", sig);
    mainServer.stop();
    for (auto &u : uploads)
        u->stop();
    mainServer.join();
    for (auto &u : uploads)
        u->join();
    actRunner.stop();
    svc().acts = nullptr;
    return 0;
}
