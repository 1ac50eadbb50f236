// The deciding logic behind the disk page: sorting and paging of a listing
// with build ids, the permission table of the toolbar, where downloads land,
// and the walk of dropped files and folders.
#include "context/orvelcore.h"
#include "disk/vdisklist.h"
#include "disk/vdownloadplan.h"
#include "disk/vdropwalk.h"
#include "disk/vpermission.h"
#include "utils/vfilename.h"
#include "utils/vutils.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
QJsonObject entry(const QString &name, bool dir, qint64 size, const QString &time)
{
    return QJsonObject{{"id", name}, {"filename", name}, {"isdir", dir}, {"filesize", double(size)},
                       {"updatetime", time}, {"fullpath", "/1001/sharedisk/f/" + name},
                       {"permissioncode", "111111111"}};
}
QStringList names(const QList<M_fileinfo> &items)
{
    QStringList n;
    for (const M_fileinfo &i : items)
        n << i.filename;
    return n;
}
M_fileinfo info(const QString &code, bool admin = false)
{
    M_fileinfo f;
    f.permissioncode = code;
    f.isadmin = admin;
    return f;
}
bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}
} // namespace

class TstVDiskLogic : public QObject
{
    Q_OBJECT

    // Waits for the page of the newest build.
    static QList<M_fileinfo> pageOf(VDiskList &l, QSignalSpy &spy)
    {
        if (l.isSorting() && !spy.wait(20000))
            return {};
        return l.pageItems();
    }

private slots:
    void initTestCase() { initOrvelCore(); }

    void pagesOfAHundred()
    {
        VDiskList l;
        QSignalSpy spy(&l, &VDiskList::signalPageReady);
        QJsonArray items;
        for (int i = 0; i < 250; ++i)
            items.append(entry(QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0')), false, i, "2024-01-01 00:00:00"));
        l.setItems(items, true);
        QCOMPARE(pageOf(l, spy).size(), 100);
        QCOMPARE(l.pageCount(), 3);
        l.setPage(2);
        QCOMPARE(l.pageItems().size(), 100);
        QCOMPARE(l.pageItems().first().filename, QStringLiteral("f100.txt"));
        l.setPage(3);
        QCOMPARE(l.pageItems().size(), 50);
        QCOMPARE(l.pageItems().last().filename, QStringLiteral("f249.txt"));
        l.setPage(9); // clamped
        QCOMPARE(l.page(), 3);
        // a reload with fewer items keeps the page, clamped
        items = QJsonArray();
        for (int i = 0; i < 150; ++i)
            items.append(entry(QStringLiteral("g%1").arg(i, 3, 10, QLatin1Char('0')), false, i, ""));
        spy.clear();
        l.setItems(items, false);
        QCOMPARE(pageOf(l, spy).size(), 50);
        QCOMPARE(l.page(), 2);
        // a new folder starts at page 1
        spy.clear();
        l.setItems(items, true);
        QCOMPARE(pageOf(l, spy).size(), 100);
        QCOMPARE(l.page(), 1);
        // an empty folder is one empty page
        spy.clear();
        l.setItems(QJsonArray(), true);
        QCOMPARE(pageOf(l, spy).size(), 0);
        QCOMPARE(l.pageCount(), 1);
    }

    void sortsByEachColumnBothWays_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("expected");
        // folders stay in front in both directions
        QTest::newRow("name up") << 1 << false << QStringList{"d2", "d10", "a.txt", "b2.txt", "B10.txt", "c.txt"};
        QTest::newRow("name down") << 1 << true << QStringList{"d10", "d2", "c.txt", "B10.txt", "b2.txt", "a.txt"};
        QTest::newRow("time up") << 2 << false << QStringList{"d10", "d2", "c.txt", "a.txt", "B10.txt", "b2.txt"};
        QTest::newRow("time down") << 2 << true << QStringList{"d2", "d10", "b2.txt", "B10.txt", "a.txt", "c.txt"};
        // numeric: 9 < 10 < 1000 (as text "1000" < "9")
        // folders of equal size keep the listing's order (the sort is stable)
        QTest::newRow("size up") << 3 << false << QStringList{"d10", "d2", "c.txt", "b2.txt", "a.txt", "B10.txt"};
        QTest::newRow("size down") << 3 << true << QStringList{"d10", "d2", "B10.txt", "a.txt", "b2.txt", "c.txt"};
    }
    void sortsByEachColumnBothWays()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QStringList, expected);
        const QJsonArray items{entry("c.txt", false, 9, "2024-01-01 08:00:00"),
                               entry("a.txt", false, 1000, "2024-02-01 08:00:00"),
                               entry("d10", true, 0, "2023-01-01 08:00:00"),
                               entry("B10.txt", false, 5000, "2024-03-01 08:00:00"),
                               entry("b2.txt", false, 10, "2024-04-01 08:00:00"),
                               entry("d2", true, 0, "2023-06-01 08:00:00")};
        VDiskList l;
        QSignalSpy spy(&l, &VDiskList::signalPageReady);
        l.setItems(items, true);
        pageOf(l, spy);
        spy.clear();
        QVERIFY(l.setSortColumn(column, descending));
        QCOMPARE(names(pageOf(l, spy)), expected);
        QVERIFY(!l.setSortColumn(4, false)); // the updater column does not sort
    }

    void newerBuildsSupersedeOlder()
    {
        QJsonArray items;
        for (int i = 0; i < 20000; ++i)
            items.append(entry(QStringLiteral("n%1").arg((i * 7919) % 20000), false, (i * 31) % 977, ""));
        VDiskList l;
        QSignalSpy spy(&l, &VDiskList::signalPageReady);
        l.setItems(items, true);
        // rapid clicks: sorts and page changes while sorts are running
        l.setSortColumn(3, true);
        l.setPage(3);
        l.setSortColumn(1, false);
        l.setPage(2);
        l.setSortColumn(1, true);
        QVERIFY(spy.wait(20000));
        QCoreApplication::processEvents();
        // only the newest build reached the views, with the newest order
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toULongLong(), l.buildId());
        const QList<M_fileinfo> page = spy.first().at(1).value<QList<M_fileinfo>>();
        QCOMPARE(page.size(), 100);
        QCOMPARE(l.page(), 2);
        const QJsonArray expected = VDiskList::sortItems(items, "filename", true);
        for (int i = 0; i < page.size(); ++i)
            QCOMPARE(page.at(i).filename, expected.at(100 + i).toObject().value("filename").toString());
        // page changes after that are immediate and numbered upwards
        const quint64 before = l.buildId();
        l.setPage(5);
        QCOMPARE(spy.size(), 2);
        QVERIFY(spy.last().at(0).toULongLong() > before);
    }

    // Re-sorts order the ranks read once per listing; the order must be the
    // one the JSON sort gives, ties (same names in other case, equal sizes
    // and times, folders among folders) included, before and after the other
    // columns' keys were read, and for listings that replace each other.
    void ranksGiveTheSortedOrder_data()
    {
        QTest::addColumn<bool>("prepared");
        QTest::newRow("keys read on demand") << false;
        QTest::newRow("keys read after the first page") << true;
    }
    void ranksGiveTheSortedOrder()
    {
        QFETCH(bool, prepared);
        QRandomGenerator rng(11);
        static const QStringList stems{"报告", "Report", "report", "课程", "a10", "a9", "A9", "", "Ω", "ß"};
        auto listing = [&](int n) {
            QJsonArray items;
            for (int i = 0; i < n; ++i) {
                QJsonObject o = entry(stems.at(int(rng.bounded(stems.size())))
                                          + (rng.bounded(3) ? QString::number(rng.bounded(40)) : QString()),
                                      rng.bounded(5) == 0, qint64(rng.bounded(6)) * 1000,
                                      QStringLiteral("2024-0%1-01 10:00:00").arg(1 + rng.bounded(3)));
                o.insert("id", QString::number(i)); // tells equal entries apart
                if (i % 17 == 0)
                    o.remove("filesize"); // missing keys count as 0 / empty
                if (i % 23 == 0)
                    o.insert("isdir", 1); // the listing's flags come as numbers too
                if (i % 29 == 0)
                    o.insert("filesize", QString::number(rng.bounded(9000))); // and sizes as text
                items.append(o);
            }
            return items;
        };
        VDiskList l;
        QSignalSpy spy(&l, &VDiskList::signalPageReady);
        for (int round = 0; round < 2; ++round) {
            const QJsonArray items = listing(round == 0 ? 1500 : 700);
            spy.clear();
            l.setItems(items, true);
            QVERIFY(!pageOf(l, spy).isEmpty());
            if (prepared) {
                l.prepareOtherKeys();
                QTRY_VERIFY_WITH_TIMEOUT(l.hasKeys("updatetime") && l.hasKeys("filesize"), 20000);
            }
            for (int column : {1, 2, 3}) {
                for (bool descending : {false, true}) {
                    spy.clear();
                    QVERIFY(l.setSortColumn(column, descending));
                    QVERIFY(!pageOf(l, spy).isEmpty());
                    const QString key = l.sortKey();
                    const QJsonArray expected = VDiskList::sortItems(items, key, descending);
                    const QJsonArray got = l.sortedItems();
                    QCOMPARE(got.size(), items.size());
                    for (int i = 0; i < got.size(); ++i) {
                        if (got.at(i) != expected.at(i))
                            QFAIL(qPrintable(QStringLiteral("%1 %2: entry %3 is %4, expected %5")
                                                 .arg(key)
                                                 .arg(descending ? "down" : "up")
                                                 .arg(i)
                                                 .arg(got.at(i).toObject().value("id").toString(),
                                                      expected.at(i).toObject().value("id").toString())));
                    }
                }
            }
        }
    }

    void toolbarFollowsRights_data()
    {
        QTest::addColumn<M_fileinfo>("folder");
        QTest::addColumn<QList<M_fileinfo>>("selection");
        QTest::addColumn<int>("expected");
        using P = VPermission::Bit;
        const int teacher = VPermission::AllBits;
        QTest::newRow("teacher at the root, nothing selected")
            << info("111111111") << QList<M_fileinfo>{} << (teacher & ~VPermission::SelectionBits);
        QTest::newRow("teacher, one file") << info("111111111") << QList<M_fileinfo>{info("111111111")} << teacher;
        // student: preview, download, copy ("100100001")
        QTest::newRow("student, one file") << info("100100001") << QList<M_fileinfo>{info("100100001")}
                                           << int(P::Preview | P::Download | P::Copy);
        // 教务处 read-only for teachers: preview and download
        QTest::newRow("read-only folder") << info("000100001") << QList<M_fileinfo>{info("000100001")}
                                          << int(P::Preview | P::Download);
        QTest::newRow("item lacks move") << info("111111111") << QList<M_fileinfo>{info("101111111")}
                                         << (teacher & ~int(P::Move));
        QTest::newRow("isadmin folder, restricted item")
            << info("000000000", true) << QList<M_fileinfo>{info("111111111"), info("000100001")}
            << (teacher & ~(P::Move | P::Copy | P::Share | P::Delete));
        QTest::newRow("isadmin folder, item without own code")
            << info("0", true) << QList<M_fileinfo>{info("")} << teacher;
        // any character other than "0" is a set bit
        QTest::newRow("other characters count") << info("2x0000010") << QList<M_fileinfo>{info("111111111")}
                                                << int(P::Create | P::Copy | P::Move);
        QTest::newRow("short code") << info("10") << QList<M_fileinfo>{} << int(P::Create);
        QTest::newRow("empty code") << info("") << QList<M_fileinfo>{} << 0;
    }
    void toolbarFollowsRights()
    {
        QFETCH(M_fileinfo, folder);
        QFETCH(QList<M_fileinfo>, selection);
        QFETCH(int, expected);
        QCOMPARE(VPermission::toolbar(folder, selection), expected);
    }

    void cleanNames_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("plain") << "报告 2024.docx" << "报告 2024.docx";
        QTest::newRow("last path element") << "a/b\\c" << "c";
        QTest::newRow("parent folders") << "../../etc/passwd" << "passwd";
        QTest::newRow("reserved") << "a:b*c?d\"e<f>g|h" << "abcdefgh";
        QTest::newRow("dot") << "." << "";
        QTest::newRow("dotdot") << ".." << "";
        QTest::newRow("trailing slash") << "a/" << "";
        QTest::newRow("trailing dots") << "name. . " << "name";
        QTest::newRow("control") << QString("a\nb\tc") << "abc";
        QTest::newRow("C1 control") << QString("a") + QChar(0x85) + "b" << "ab";
        QTest::newRow("only reserved") << "???" << "";
        QTest::newRow("empty") << "" << "";
    }
    void cleanNames()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(cleanFileName(in), out);
        QCOMPARE(cleanFileName(out), out); // cleaning twice changes nothing
    }

    void folderDownloadKeepsTheTreeInside()
    {
        QTemporaryDir tmp;
        M_fileinfo folder;
        folder.filename = QStringLiteral("资料");
        folder.fullpath = QStringLiteral("/1001/sharedisk/a/资料");
        auto file = [](const QString &path, const QString &code) {
            return QJsonObject{{"id", path}, {"filename", path.section('/', -1)}, {"fullpath", path},
                               {"isdir", false}, {"permissioncode", code}, {"filesize", 3}};
        };
        const QJsonArray children{
            file("/1001/sharedisk/a/资料/一.txt", "111111111"),
            file("/1001/SHAREDISK/A/资料/子/二.txt", "111111111"),
            file("/1001/sharedisk/a/资料/子/孙/三.txt", "111111111"),
            file("/1001/sharedisk/a/资料/禁止.txt", "000000001"), // no download right
            file("/1001/sharedisk/a/资料/../../../etc/passwd", "111111111"),
            file("/1001/sharedisk/a/资料/x/..", "111111111"),
            QJsonObject{{"id", "d"}, {"filename", "子"}, {"fullpath", "/1001/sharedisk/a/资料/子"}, {"isdir", true}}};
        const VDownloadPlan::Result r = VDownloadPlan::folderRecords(folder, children, tmp.path() + "/下载");
        QCOMPARE(r.noRight, 1);
        QStringList locals;
        for (const M_db_file &f : r.files) {
            QCOMPARE(f.type, 1);
            QVERIFY2(VDownloadPlan::isInside(f.localpath, tmp.path() + "/下载"), qPrintable(f.localpath));
            locals << f.localpath.mid(tmp.path().size());
        }
        QVERIFY(locals.contains("/下载/资料/一.txt"));
        QVERIFY(locals.contains("/下载/资料/子/二.txt"));
        QVERIFY(locals.contains("/下载/资料/子/孙/三.txt"));
        for (const QString &l : locals) {
            QVERIFY2(!l.contains("/../") && !l.endsWith("/.."), qPrintable(l));
            QVERIFY2(l.startsWith("/下载/资料/"), qPrintable(l));
        }
        QCOMPARE(r.files.size() + r.noRight + r.refused, 6);
        // a folder whose own name would climb out is refused, not followed
        folder.filename = QStringLiteral("..");
        const VDownloadPlan::Result r2 = VDownloadPlan::folderRecords(folder, QJsonArray{children.at(0)}, tmp.path());
        QCOMPARE(r2.files.size(), 0);
        QCOMPARE(r2.refused, 1);
        // a single file: its cleaned name in the chosen folder
        M_fileinfo one;
        one.id = "7";
        one.filename = "a/../b.txt";
        one.fullpath = "/1001/sharedisk/a_b.txt";
        QCOMPARE(VDownloadPlan::fileRecord(one, tmp.path()).localpath, tmp.path() + "/b.txt");
        one.filename = "..";
        QVERIFY(VDownloadPlan::fileRecord(one, tmp.path()).localpath.isEmpty());
    }

    void dropWalk()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/Photos";
        QVERIFY(writeFile(root + "/Trip/IMG_0001.JPG", "jpeg"));
        QVERIFY(writeFile(root + "/Trip/notes.TXT", "n"));
        QVERIFY(writeFile(root + "/readme.md", "r"));
        QVERIFY(QDir().mkpath(root + "/Empty"));
        // a symlink back up the tree, and a FIFO
        QVERIFY(QFile::link(root, root + "/Trip/loop"));
        QCOMPARE(::mkfifo(QFile::encodeName(root + "/pipe").constData(), 0600), 0);
        QVERIFY(writeFile(tmp.path() + "/single.PDF", "pdf"));

        const QString target = "/1001/sharedisk/目标";
        // URLs as a file manager drops them: percent-escaped, with the leading "/"
        const QList<QUrl> urls{QUrl::fromLocalFile(root), QUrl::fromLocalFile(tmp.path() + "/single.PDF"),
                               QUrl("https://example.invalid/x")};
        const QStringList paths = VDropWalk::localPaths(urls);
        QCOMPARE(paths, (QStringList{root, tmp.path() + "/single.PDF"}));

        const VDropWalk::Plan plan = VDropWalk::walk(paths, target);
        QStringList dirs = plan.dirs;
        dirs.sort();
        QCOMPARE(dirs, (QStringList{target + "/Photos", target + "/Photos/Empty", target + "/Photos/Trip"}));
        QMap<QString, QString> files; // local -> server folder
        for (const M_db_file &f : plan.files) {
            QCOMPARE(f.type, 2);
            QCOMPARE(f.filename, QFileInfo(f.localpath).fileName());
            files.insert(f.localpath.mid(tmp.path().size()), f.serverpath);
        }
        QCOMPARE(files.size(), 4); // the loop is walked once, the FIFO skipped
        QCOMPARE(files.value("/Photos/Trip/IMG_0001.JPG"), target + "/Photos/Trip");
        QCOMPARE(files.value("/Photos/Trip/notes.TXT"), target + "/Photos/Trip");
        QCOMPARE(files.value("/Photos/readme.md"), target + "/Photos");
        QCOMPARE(files.value("/single.PDF"), target);
        QVERIFY(plan.skipped >= 2);

        // files follow only the folders that were created (any case)
        const QList<M_db_file> ready = VDropWalk::filesInCreated(plan, {"/1001/SHAREDISK/目标/photos"});
        QStringList readyNames;
        for (const M_db_file &f : ready)
            readyNames << f.filename;
        readyNames.sort();
        QCOMPARE(readyNames, (QStringList{"readme.md", "single.PDF"}));
    }
};

QTEST_GUILESS_MAIN(TstVDiskLogic)
#include "tst_vdisklogic.moc"
