// Download worker against a local range server with controllable faults and
// against nginx (real range semantics). Content is checked by SHA-256.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "rangeserver.h"
#include "transfer/vdownloadfile.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vtransfertimings.h"
#include "transferharness.h"

namespace {
constexpr qint64 MiB10 = 10485760;
}

class TestDownload : public QObject
{
    Q_OBJECT

    struct Run : WorkerRun<VDownloadFile>
    {
        explicit Run(VDownloadFile *w) : WorkerRun(w)
        {
            QObject::connect(w, &VDownloadFile::signalReplyFinished, &context, [this](const QString &p) {
                finished = true;
                finalPath = p;
            });
            QObject::connect(w, &VDownloadFile::signalDownloadProcess, &context, [this](qint64 d, qint64 t) {
                lastDone = d;
                lastTotal = t;
            });
        }
        bool finished = false;
        QString finalPath;
        qint64 lastDone = -1, lastTotal = -1;
    };

    QTemporaryDir m_dir;
    QString m_src;

    VDownloadFile *newWorker(const QString &url, const QString &local, const QString &id = QStringLiteral("f1"))
    {
        auto *w = new VDownloadFile;
        w->setUrl(url);
        w->setLocalPath(local);
        w->setSuffixId(id);
        return w;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        m_src = m_dir.filePath(QStringLiteral("src.bin"));
        VTransferThrottle::download()->setLimit(0);
    }
    void init() { VTransferTimings::reset(); }

    void sizes_data()
    {
        QTest::addColumn<qint64>("size");
        for (qint64 s : {qint64(0), qint64(1), qint64(2), MiB10 - 1, MiB10, MiB10 + 1, MiB10 + 2, 2 * MiB10 - 1,
                         2 * MiB10, 2 * MiB10 + 1, 2 * MiB10 + 2, 3 * MiB10 + 1})
            QTest::addRow("%lld", s) << s;
    }
    // Byte-exact at every size around the segment boundaries.
    void sizes()
    {
        QFETCH(qint64, size);
        QVERIFY(makeFile(m_src, size, quint32(size)));
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("out-%1.bin").arg(size));
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(run.finished);
        QCOMPARE(run.finalPath, target);
        QCOMPARE(fileSha256(target), fileSha256(m_src));
        QVERIFY(!QFile::exists(target + QStringLiteral(".orvelnetdisk.f1.download")));
        // No request may ask for bytes past the end (a 416 would fail it).
        for (const QString &r : server.segmentRanges()) {
            const qint64 first = r.mid(6).section(QLatin1Char('-'), 0, 0).toLongLong();
            QVERIFY2(first < qMax<qint64>(size, 1), qPrintable(r));
        }
    }

    void rangeSequence()
    {
        QVERIFY(makeFile(m_src, 25 * 1048576));
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("seq.bin"));
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QVERIFY(run.finished);
        QCOMPARE(server.ranges(), QStringList({QStringLiteral("bytes=0-1"), QStringLiteral("bytes=0-10485760"),
                                               QStringLiteral("bytes=10485761-20971520"),
                                               QStringLiteral("bytes=20971521-")}));
        QCOMPARE(run.lastDone, qint64(25 * 1048576));
        QCOMPARE(run.lastTotal, qint64(25 * 1048576));
    }

    void resumeFromPartial()
    {
        QVERIFY(makeFile(m_src, 25 * 1048576, 7));
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("resume.bin"));
        const QString tmp = target + QStringLiteral(".orvelnetdisk.f1.download");
        {
            QFile in(m_src), out(tmp);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.read(15000000));
        }
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QVERIFY(run.finished);
        QCOMPARE(server.segmentRanges().value(0), QStringLiteral("bytes=15000000-20971520"));
        QCOMPARE(fileSha256(target), fileSha256(m_src));
    }

    // A server that ignores Range, or answers another range, never corrupts
    // the temporary file.
    void misbehavingRange()
    {
        QVERIFY(makeFile(m_src, 2 * MiB10 + 5, 9));
        const QString target = m_dir.filePath(QStringLiteral("ignored.bin"));
        const QString tmp = target + QStringLiteral(".orvelnetdisk.f1.download");
        {
            QFile in(m_src), out(tmp);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.read(12345678));
        }
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        server.setMode(RangeServer::IgnoreRange);
        {
            Run run(newWorker(server.url(), target));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
            QCOMPARE(run.errors, QStringList());
            QVERIFY(run.finished);
            QCOMPARE(fileSha256(target), fileSha256(m_src));
        }
        QFile::remove(target);
        {
            QFile in(m_src), out(tmp);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.read(12345678));
        }
        server.setMode(RangeServer::WrongRange);
        {
            Run run(newWorker(server.url(), target));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
            QVERIFY(!run.finished);
            QCOMPARE(run.errors, QStringList{QStringLiteral("服务器返回的数据范围与请求不符")});
            QCOMPARE(QFileInfo(tmp).size(), qint64(12345678));
        }
        // The intact prefix then resumes against a sound server.
        server.setMode(RangeServer::Normal);
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QVERIFY(run.finished);
        QCOMPARE(fileSha256(target), fileSha256(m_src));
    }

    // A server may send less than the asked range: each answer is taken for
    // what it says, and the request sent ahead for bytes that do not follow
    // on is dropped, never written.
    void shortAnswers()
    {
        const qint64 size = 25 * 1048576 + 17;
        QVERIFY(makeFile(m_src, size, 11));
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        server.setMode(RangeServer::ShortRange, 4 * 1048576 + 3);
        const QString target = m_dir.filePath(QStringLiteral("short.bin"));
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 60000);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(run.finished);
        QCOMPARE(fileSha256(target), fileSha256(m_src));
        QCOMPARE(run.lastDone, size);
        // no request asked past the end
        for (const QString &r : server.segmentRanges())
            QVERIFY2(r.mid(6).section(QLatin1Char('-'), 0, 0).toLongLong() < size, qPrintable(r));
    }

    void probeFailures_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("message");
        QTest::newRow("404") << int(RangeServer::NotFound) << QStringLiteral("请求失败或文件不存在");
        QTest::newRow("size 0") << int(RangeServer::ZeroSize) << QStringLiteral("请求失败或文件不存在");
        QTest::newRow("no Content-Range") << int(RangeServer::NoContentRange) << QStringLiteral("请求失败或文件不存在");
        QTest::newRow("silent") << int(RangeServer::ProbeStall) << QStringLiteral("网络请求超时");
    }
    void probeFailures()
    {
        QFETCH(int, mode);
        QFETCH(QString, message);
        VTransferTimings::probeMs = 300;
        QVERIFY(makeFile(m_src, 1000));
        RangeServer server;
        server.setFile(m_src);
        server.setMode(RangeServer::Mode(mode));
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("probe.bin"));
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
        QCOMPARE(run.errors, QStringList{message});
        QVERIFY(!run.finished);
        QVERIFY(!QFile::exists(target));
    }

    // A stall keeps the partial file; a dropped connection leaves a prefix
    // that a new worker completes.
    void stallAndDrop()
    {
        VTransferTimings::stallMs = 400;
        QVERIFY(makeFile(m_src, 2 * MiB10 + 100, 3));
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("stall.bin"));
        const QString tmp = target + QStringLiteral(".orvelnetdisk.f1.download");
        server.setMode(RangeServer::StallAfter, 3000000, 1);
        {
            Run run(newWorker(server.url(), target));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
            QCOMPARE(run.errors, QStringList{QStringLiteral("网络超时")});
            QCOMPARE(QFileInfo(tmp).size(), qint64(3000000));
        }
        server.setMode(RangeServer::DropAfter, 4000000, 1);
        {
            Run run(newWorker(server.url(), target));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
            QCOMPARE(run.errors.size(), 1);
            QVERIFY(!run.finished);
            // What arrived before the drop is kept (data still in flight when
            // the connection broke may be lost; it is fetched again).
            const qint64 kept = QFileInfo(tmp).size();
            QVERIFY2(kept > 3000000 && kept <= 7000000, qPrintable(QString::number(kept)));
        }
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QVERIFY(run.finished);
        QCOMPARE(server.segmentRanges().last(), QStringLiteral("bytes=20971521-"));
        QCOMPARE(fileSha256(target), fileSha256(m_src));
    }

    void stopKeepsCancelRemoves_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("stop") << false;
        QTest::newRow("cancel") << true;
    }
    void stopKeepsCancelRemoves()
    {
        QFETCH(bool, cancel);
        QVERIFY(makeFile(m_src, 3 * MiB10, 5));
        RangeServer server;
        server.setFile(m_src);
        server.setMode(RangeServer::StallAfter, 2000000);
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("stop.bin"));
        const QString tmp = target + QStringLiteral(".orvelnetdisk.f1.download");
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(tmp).size(), qint64(2000000), 10000);
        if (cancel)
            run.worker->setDeletePartial(true);
        QMetaObject::invokeMethod(run.worker, "stopWorkByThread", Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 5000);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(!run.finished);
        QCOMPARE(QFile::exists(tmp), !cancel);
    }

    void dispositionNames_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("attachment;filename=report.pdf") << QStringLiteral("report.pdf");
        QTest::newRow("quoted") << QByteArray("attachment; filename=\"my file.txt\"") << QStringLiteral("my file.txt");
        QTest::newRow("raw utf-8") << QStringLiteral("attachment;filename=报告 2024.docx").toUtf8()
                                   << QStringLiteral("报告 2024.docx");
        QTest::newRow("rfc 6266") << QByteArray("attachment; filename=\"fallback.txt\"; "
                                                "filename*=UTF-8''%E6%8A%A5%E5%91%8A.pdf")
                                  << QStringLiteral("报告.pdf");
        QTest::newRow("parent folders") << QByteArray("attachment;filename=../../etc/passwd") << QStringLiteral("passwd");
        QTest::newRow("windows folders") << QByteArray("attachment;filename=..\\..\\evil.exe")
                                         << QStringLiteral("evil.exe");
        QTest::newRow("dot dot") << QByteArray("attachment;filename=..") << QString();
        QTest::newRow("control chars") << QByteArray("attachment;filename=a\x01\x1f" "b.txt") << QStringLiteral("ab.txt");
        QTest::newRow("encoded slash") << QByteArray("attachment; filename*=UTF-8''..%2F..%2Fx.txt")
                                       << QStringLiteral("x.txt");
        // what some file systems drop silently would name another file there
        QTest::newRow("trailing dots and spaces") << QByteArray("attachment;filename=\"a. . \"") << QStringLiteral("a");
        QTest::newRow("C1 control") << QByteArray("attachment; filename*=UTF-8''x%C2%85.txt%C2%85")
                                    << QStringLiteral("x.txt");
        QTest::newRow("only dots and spaces") << QByteArray("attachment;filename=\". . .\"") << QString();
    }
    void dispositionNames()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, name);
        QCOMPARE(VDownloadFile::fileNameFromDisposition(header), name);
    }

    // The server's name is used, inside the target folder only.
    void dispositionLandsInFolder()
    {
        QVERIFY(makeFile(m_src, 4096));
        RangeServer server;
        server.setFile(m_src);
        server.setDisposition("attachment;filename=../../escaped.bin");
        QVERIFY(server.start());
        QDir(m_dir.path()).mkpath(QStringLiteral("deep/inner"));
        const QString target = m_dir.filePath(QStringLiteral("deep/inner/asked.bin"));
        Run run(newWorker(server.url(), target));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
        QVERIFY(run.finished);
        QCOMPARE(run.finalPath, m_dir.filePath(QStringLiteral("deep/inner/escaped.bin")));
        QCOMPARE(fileSha256(run.finalPath), fileSha256(m_src));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("escaped.bin"))));
    }

    void renameRules()
    {
        QVERIFY(makeFile(m_src, 5000, 11));
        RangeServer server;
        server.setFile(m_src);
        QVERIFY(server.start());
        const QString target = m_dir.filePath(QStringLiteral("a.pdf"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        {
            Run run(newWorker(server.url(), target));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
            QCOMPARE(run.finalPath, m_dir.filePath(QStringLiteral("a(1).pdf")));
            QCOMPARE(fileSha256(run.finalPath), fileSha256(m_src));
        }
        auto *w = newWorker(server.url(), target);
        w->setAutoRename(false);
        Run run(w);
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
        QVERIFY(run.finished);
        QCOMPARE(run.finalPath, QString());
        QCOMPARE(fileSha256(target), fileSha256(m_src));
    }

    // The same worker against nginx serving a static file.
    void nginxStatic_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("0") << qint64(0);
        QTest::newRow("10 MiB + 1") << MiB10 + 1;
        QTest::newRow("25 MiB + 3") << qint64(25 * 1048576 + 3);
    }
    void nginxStatic()
    {
        QFETCH(qint64, size);
        const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                                             {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (nginx.isEmpty())
            QSKIP("nginx is not installed");
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("www"));
        QDir(root.path()).mkpath(QStringLiteral("logs"));
        const QString file = root.filePath(QStringLiteral("www/data.bin"));
        QVERIFY(makeFile(file, size, 21));
        QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                               | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        int port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        QFile conf(root.filePath(QStringLiteral("nginx.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("worker_processes 1;\n"
                                  "error_log %1/logs/error.log;\n"
                                  "pid %1/logs/nginx.pid;\n"
                                  "events { worker_connections 64; }\n"
                                  "http {\n"
                                  "  access_log off;\n"
                                  "  client_body_temp_path %1/logs; proxy_temp_path %1/logs;\n"
                                  "  fastcgi_temp_path %1/logs; uwsgi_temp_path %1/logs; scgi_temp_path %1/logs;\n"
                                  "  server { listen 127.0.0.1:%2; root %1/www; }\n"
                                  "}\n")
                       .arg(root.path())
                       .arg(port)
                       .toUtf8());
        conf.close();
        QProcess proc;
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.start(nginx, {QStringLiteral("-p"), root.path(), QStringLiteral("-c"), conf.fileName(),
                           QStringLiteral("-g"), QStringLiteral("daemon off;")});
        QVERIFY(proc.waitForStarted());
        // Ready when it accepts connections.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, quint16(port));
                return s.waitForConnected(100);
            }(),
            5000);
        const QString target = m_dir.filePath(QStringLiteral("nginx-%1.bin").arg(size));
        // Half of the file is already here, to exercise the resume path too.
        {
            QFile in(file), out(target + QStringLiteral(".orvelnetdisk.f1.download"));
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(in.read(size / 2));
        }
        {
            Run run(newWorker(QStringLiteral("http://127.0.0.1:%1/data.bin").arg(port), target));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
            QCOMPARE(run.errors, QStringList());
            QVERIFY(run.finished);
        }
        proc.terminate();
        proc.waitForFinished(5000);
        QCOMPARE(fileSha256(target), fileSha256(file));
    }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_vdownloadfile.moc"
