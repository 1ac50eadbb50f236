// The stand-in service listing large folders: getlist of a folder seeded
// with N entries (best of 3), and the token for the reference fetch by curl
// in run-disk.sh.
// Usage: bench_server_list [entries...]   (default 10000 100000)
#include "testhome.h"
#include "testserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 100000};
    TestHome home;
    TestServer server;
    if (!server.start()) {
        out << "server did not start: " << server.errorString() << "\n";
        return 1;
    }
    const QString token = server.signIn("demo", "demo123");
    for (int n : sizes) {
        const QString path = QStringLiteral("/1001/sharedisk/bench%1").arg(n);
        const QJsonObject body{{"path", path}, {"files", n - n / 50}, {"dirs", n / 50}};
        QElapsedTimer t;
        t.start();
        server.request("POST", server.rootUrl() + "__control/tree", QJsonDocument(body).toJson(),
                       {{"Content-Type", "application/json"}}, 600000);
        const double seedMs = t.nsecsElapsed() / 1e6;
        double best = 1e12;
        int count = 0;
        qint64 bytes = 0;
        for (int r = 0; r < 3; ++r) {
            t.restart();
            const TestServer::Reply rep = server.request(
                "POST", server.apiUrl() + "v1/wp/file/getlist",
                TestServer::formEncode({{"filepath", path}, {"searchkey", ""}, {"visitlog", "0"}, {"filetype", "0"}}),
                {{"Authorization", ("Bearer " + token).toUtf8()}, {"Content-Type", "application/x-www-form-urlencoded"}},
                600000);
            best = std::min(best, t.nsecsElapsed() / 1e6);
            count = rep.json.value("data").toObject().value("list").toArray().size();
            bytes = rep.body.size();
        }
        out << QStringLiteral("getlist %1 entries: best %2 ms (%3 listed, %4 KiB reply; seeding took %5 ms)\n")
                   .arg(n)
                   .arg(best, 0, 'f', 0)
                   .arg(count)
                   .arg(bytes / 1024)
                   .arg(seedMs, 0, 'f', 0);
        // Reference: curl fetching the same listing from the same server.
        double curlBest = 1e12;
        for (int r = 0; r < 3; ++r) {
            QProcess curl;
            curl.start("curl", {"-s", "-o", "/dev/null", "-w", "%{time_total}", "-X", "POST", "-H",
                                "Authorization: Bearer " + token, "--data",
                                "filepath=" + path + "&searchkey=&visitlog=0&filetype=0",
                                server.apiUrl() + "v1/wp/file/getlist"});
            if (!curl.waitForFinished(600000))
                break;
            curlBest = std::min(curlBest, QString::fromLatin1(curl.readAllStandardOutput()).toDouble() * 1000);
        }
        out << QStringLiteral("  curl, same request : best %1 ms\n").arg(curlBest, 0, 'f', 0);
        out.flush();
    }
    return 0;
}
