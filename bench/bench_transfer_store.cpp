// addFiles of 10 000 records into a transfer log that already holds 100 000
// rows, and what the vacuum after each batch costs of that.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include "DB/db_self.h"
#include "records/metatypes.h"

namespace {

QList<M_db_file> batch(int from, int count, int type)
{
    QList<M_db_file> list;
    list.reserve(count);
    for (int i = from; i < from + count; ++i) {
        M_db_file f;
        f.type = type;
        f.fileid = QStringLiteral("%1").arg(i, 24, 16, QLatin1Char('0'));
        f.filename = QStringLiteral("文件%1.docx").arg(i);
        f.localpath = QStringLiteral("/home/user/下载/目录%1/文件%2.docx").arg(i % 97).arg(i);
        f.serverpath = QStringLiteral("/1/sharedisk/目录%1/").arg(i % 97);
        f.filesize = 1000 + i;
        list << f;
    }
    return list;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    registerMetaTypes();
    QTemporaryDir dir;
    db_self store(dir.path());
    if (!store.isReady())
        return 1;

    // 100 000 older rows, all unfinished: the duplicate check's worst case.
    for (int i = 0; i < 10; ++i)
        store.addFiles(batch(i * 10000, 10000, 1 + (i % 2)), i, false);
    QElapsedTimer t;
    t.start();
    store.vacuum();
    const qint64 vacuumAlone = t.elapsed();

    // Repeat the run a few times: a new batch, and the same batch again
    // (every row a duplicate of a pending one).
    for (int round = 0; round < 3; ++round) {
        t.start();
        const int added = store.addFiles(batch(200000 + round * 10000, 10000, 1), 0, true);
        const qint64 fresh = t.elapsed();
        t.start();
        const int again = store.addFiles(batch(200000 + round * 10000, 10000, 1), 0, true);
        const qint64 dup = t.elapsed();
        t.start();
        store.vacuum();
        const qint64 vac = t.elapsed();
        std::printf("round %d: addFiles 10000 new: %lld ms (added %d); 10000 duplicates: %lld ms (added %d); "
                    "vacuum of both files alone: %lld ms\n",
                    round + 1, fresh, added, dup, again, vac);
    }
    std::printf("vacuum after the 100 000-row fill: %lld ms; file.db %lld KiB\n", vacuumAlone,
                QFileInfo(store.filePath()).size() / 1024);
    return 0;
}
