// fileSha256 throughput on one file, and the peak memory it took.
// Usage: bench_digest FILE [repeats]
#include "utils/vutils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <sys/resource.h>

static long peakRssKiB()
{
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        out << "usage: bench_digest FILE [repeats]\n";
        return 2;
    }
    const QString path = args.at(1);
    const int repeats = args.size() > 2 ? args.at(2).toInt() : 3;
    const qint64 size = QFileInfo(path).size();
    const long rssBefore = peakRssKiB();
    double best = 0;
    QString digest;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        digest = VUtils::fileSha256(path);
        const double secs = t.nsecsElapsed() / 1e9;
        best = std::max(best, size / secs / 1e6);
    }
    out << "sha256 " << digest << "\n";
    out << "fileSha256 MB/s " << QString::number(best, 'f', 0) << "\n";
    out << "peak RSS KiB before " << rssBefore << " after " << peakRssKiB() << "\n";
    return digest.isEmpty() ? 1 : 0;
}
