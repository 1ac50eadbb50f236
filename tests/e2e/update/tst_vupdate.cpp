// The update dialog against the stand-in service: the description's checks
// before anything is touched, the downloads one by one with the MD5 of each
// stored file, renames, the state of the one button, and the hand-over.
#include "update/vupdate.h"

#include "context/vglobalparameter.h"
#include "update/vupdatesession.h"
#include "testhome.h"
#include "testserver.h"
#include "updatefixture.h"
#include "testshot.h"
#include "uitestsetup.h"

#include <QJsonArray>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace updatefixture;

class TestVUpdate : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server;
    int quits = 0;

    std::unique_ptr<VUpdate> open(const ProgramFolder &pf, QSignalSpy **warnings = nullptr)
    {
        auto d = std::make_unique<VUpdate>();
        d->session()->setProgramPath(pf.program());
        d->session()->setRestartArguments({"--server", server.rootUrl()});
        d->setQuitHandler([this] { ++quits; });
        if (warnings)
            *warnings = new QSignalSpy(d.get(), &VUpdate::signalWarning);
        d->requestDescription();
        return d;
    }
    static QString button(const VUpdate &d) { return d.okButton()->text(); }
    static QStringList texts(const QSignalSpy &spy)
    {
        QStringList out;
        for (const QList<QVariant> &a : spy)
            out << a.at(0).toString();
        return out;
    }
    static void shot(QWidget *w, const QString &name) { saveShot(w, name); }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    }

    void init()
    {
        quits = 0;
        server.clearFaults();
    }

    // Nothing to download: finished at once; "完成" hands over only to an
    // updater that is there and executable.
    void emptyListThenHandOver()
    {
        ProgramFolder pf;
        QVERIFY(pf.create("#!/bin/sh\n"));
        QVERIFY(describe(server, {{"version", "9.0.0"}, {"memo", "<b>不是标记</b>"}, {"files", QJsonArray()}}));
        QSignalSpy *w = nullptr;
        auto d = open(pf, &w);
        std::unique_ptr<QSignalSpy> warnings(w);
        QTRY_VERIFY_WITH_TIMEOUT(d->okButton()->isEnabled(), 30000);
        QCOMPARE(button(*d), QStringLiteral("更新"));
        QCOMPARE(d->textBrowser()->toPlainText(), QStringLiteral("<b>不是标记</b>"));
        QCOMPARE(d->processLabel()->text(), QStringLiteral("待安装，总进度：0%"));
        d->okButton()->click();
        QCOMPARE(button(*d), QStringLiteral("完成"));
        QCOMPARE(d->processLabel()->text(), QStringLiteral("100%"));
        QCOMPARE(d->progressBar()->value(), 100);

        // no updater, then one that cannot run: the client stays
        d->okButton()->click();
        QVERIFY(writeFile(pf.updateDir() + "/OrvelTool", "#!/bin/sh\n"));
        QFile::setPermissions(pf.updateDir() + "/OrvelTool", QFile::ReadOwner | QFile::WriteOwner);
        d->okButton()->click();
        QCOMPARE(texts(*warnings), (QStringList{QStringLiteral("升级失败，未找到升级工具"), QStringLiteral("升级失败，未找到升级工具")}));
        QCOMPARE(quits, 0);

        // a stand-in updater that notes it ran
        QVERIFY(writeFile(pf.updateDir() + "/OrvelTool", "#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran\"\n"));
        QFile::setPermissions(pf.updateDir() + "/OrvelTool", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        d->okButton()->click();
        QCOMPARE(quits, 1);
        QTRY_VERIFY(QFile::exists(pf.updateDir() + "/ran"));
        QFile addr(pf.updateDir() + "/addr.txt");
        QVERIFY(addr.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(addr.readAll()), pf.program());
        VUpdateManifest m;
        QFile list(pf.updateDir() + "/install.json");
        QVERIFY(list.open(QIODevice::ReadOnly));
        QString error;
        QVERIFY2(VUpdateManifest::fromJson(list.readAll(), &m, &error), qPrintable(error));
        QCOMPARE(m.pid, QCoreApplication::applicationPid());
        QCOMPARE(m.arguments, (QStringList{"--server", server.rootUrl()}));
        QVERIFY(m.files.isEmpty());
    }

    // The second of three files does not match its MD5: the third is never
    // asked for, the bad file goes, the program folder stays as it was, and
    // the button offers a retry, which succeeds once the description is right.
    void md5MismatchStopsAndRetries()
    {
        ProgramFolder pf;
        QVERIFY(pf.create("old program"));
        QVERIFY(writeFile(pf.path() + "/lib.dat", "old lib"));
        const auto before = pf.snapshot();
        const QString notes = QStringLiteral("版本 9.0.1 更新内容：\n1. 大文件上传更稳定，断点续传更快\n"
                                             "2. 修正传输列表在窗口缩放时的显示问题\n3. 本地备份新增日志页");
        const QString ma = publish(server, "mm/a.bin", QByteArray(300000, 'a'));
        const QString mb = publish(server, "mm/b.bin", QByteArray(200000, 'b'));
        const QString mc = publish(server, "mm/c.bin", "ccc");
        const QString wrong = QString::fromLatin1(QCryptographicHash::hash("other", QCryptographicHash::Md5).toHex());
        QVERIFY(describe(server, {{"version", "9.0.1"},
                                  {"memo", notes},
                                  {"files", QJsonArray{entry("mm", "a.bin", ma), entry("mm", "b.bin", wrong),
                                                       entry("mm", "c.bin", mc)}}}));
        QSignalSpy *w = nullptr;
        auto d = open(pf, &w);
        std::unique_ptr<QSignalSpy> warnings(w);
        QTRY_VERIFY_WITH_TIMEOUT(d->okButton()->isEnabled(), 30000);
        d->show();
        shot(d.get(), "update-ready.png");
        d->okButton()->click();
        QCOMPARE(button(*d), QStringLiteral("更新中"));
        QTRY_COMPARE_WITH_TIMEOUT(texts(*warnings), QStringList{QStringLiteral("md5校验错误，更新失败")}, 60000);
        QCOMPARE(button(*d), QStringLiteral("更新"));
        QVERIFY(d->okButton()->isEnabled());
        QCOMPARE(server.requestCount("/client/mm/c.bin"), 0);
        QVERIFY(QFile::exists(pf.updateDir() + "/a.bin"));
        QVERIFY(!QFile::exists(pf.updateDir() + "/b.bin"));
        QCOMPARE(pf.snapshot(), before);
        shot(d.get(), "update-failed.png");

        QVERIFY(describe(server, {{"version", "9.0.1"},
                                  {"memo", notes},
                                  {"files", QJsonArray{entry("mm", "a.bin", ma), entry("mm", "b.bin", mb),
                                                       entry("mm", "c.bin", mc)}}}));
        d->requestDescription();
        QTRY_COMPARE(d->session()->description().files.value(1).md5, mb);
        d->okButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(button(*d), QStringLiteral("完成"), 60000);
        QVERIFY(d->message().isEmpty());
        shot(d.get(), "update-finished.png");
        QCOMPARE(sha256Of(pf.updateDir() + "/b.bin"), sha256Of(server.dataDir() + "/client/mm/b.bin"));
        QCOMPARE(sha256Of(pf.updateDir() + "/c.bin"), sha256Of(server.dataDir() + "/client/mm/c.bin"));
        QCOMPARE(pf.snapshot(), before);
    }

    // MD5 in capitals is the same digest; "rename" names the file after its
    // check; an empty file neither divides by zero nor stops the run.
    void upperCaseRenameAndEmptyFile()
    {
        ProgramFolder pf;
        QVERIFY(pf.create("old program"));
        QVERIFY(writeFile(pf.updateDir() + "/stale.bin", "left from last time"));
        const QString ma = publish(server, "rn/a.bin", QByteArray(123457, 'x'));
        const QString mb = publish(server, "rn/b.bin", "bee");
        const QString me = publish(server, "rn/empty.bin", QByteArray());
        QVERIFY(describe(server, {{"version", "9.0.2"},
                                  {"files", QJsonArray{entry("rn", "a.bin", ma.toUpper()),
                                                       entry("rn", "b.bin", mb, "OrvelNetdisk"),
                                                       entry("rn", "empty.bin", me)}}}));
        auto d = open(pf);
        QTRY_VERIFY_WITH_TIMEOUT(d->okButton()->isEnabled(), 30000);
        QSignalSpy progress(d->session(), &VUpdateSession::signalDownloadProcess);
        d->okButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(button(*d), QStringLiteral("完成"), 60000);
        QCOMPARE(d->progressBar()->value(), 100);
        for (const QList<QVariant> &a : progress)
            QVERIFY(a.at(0).toLongLong() >= 0 && a.at(0).toLongLong() <= 100);
        QVERIFY(!QFile::exists(pf.updateDir() + "/stale.bin")); // emptied first
        QVERIFY(!QFile::exists(pf.updateDir() + "/b.bin"));
        QCOMPARE(sha256Of(pf.updateDir() + "/OrvelNetdisk"), sha256Of(server.dataDir() + "/client/rn/b.bin"));
        QCOMPARE(QFileInfo(pf.updateDir() + "/empty.bin").size(), 0);
        QStringList names;
        for (const VUpdateManifest::File &f : d->session()->verifiedFiles())
            names << f.name;
        QCOMPARE(names, (QStringList{"a.bin", "OrvelNetdisk", "empty.bin"}));
        QCOMPARE(QFileInfo(pf.program()).size(), qint64(11)); // the program itself untouched
    }

    // Refused as a whole when the description is read: no file requested,
    // nothing deleted, the update folder not even emptied.
    void unsafeDescriptionTouchesNothing_data()
    {
        QTest::addColumn<QJsonArray>("files");
        QTest::addColumn<QJsonArray>("deletes");
        const QString md5 = publish(server, "us/a.bin", "aaa");
        const QJsonArray good{entry("us", "a.bin", md5)};
        auto del = [](const QString &p) { return QJsonArray{QJsonObject{{"path", p}}}; };
        QTest::newRow("delete ../x") << good << del("../sentinel");
        QTest::newRow("delete absolute") << good << QJsonArray{QJsonObject{{"path", "/tmp/x"}}};
        QTest::newRow("delete a/../../x") << good << del("a/../../sentinel");
        QTest::newRow("rename ../x") << QJsonArray{entry("us", "a.bin", md5, "../sentinel")} << QJsonArray();
        QTest::newRow("url ends in /..") << QJsonArray{entry("us", "..", md5)} << QJsonArray();
        QTest::newRow("url ends in %2F..") << QJsonArray{entry("us", "a%2F..", md5)} << QJsonArray();
        QTest::newRow("md5 missing") << QJsonArray{QJsonObject{{"url", "{root}/client/us"}, {"filepath", "a.bin"}}}
                                     << QJsonArray();
        QTest::newRow("rename onto a taken name")
            << QJsonArray{entry("us", "a.bin", md5), entry("us", "b.bin", md5, "a.bin")} << QJsonArray();
    }
    void unsafeDescriptionTouchesNothing()
    {
        QFETCH(QJsonArray, files);
        QFETCH(QJsonArray, deletes);
        ProgramFolder pf;
        QVERIFY(pf.create("old program"));
        QVERIFY(writeFile(pf.tmp.path() + "/sentinel", "outside the program folder"));
        QVERIFY(writeFile(pf.updateDir() + "/stale.bin", "kept"));
        const QByteArray sentinel = sha256Of(pf.tmp.path() + "/sentinel");
        const auto before = pf.snapshot();
        QVERIFY(describe(server, {{"version", "9.1.0"}, {"files", files}, {"deleteFiles", deletes}}));
        const int requests = server.requestCount("/client/us");
        QSignalSpy *w = nullptr;
        auto d = open(pf, &w);
        std::unique_ptr<QSignalSpy> warnings(w);
        QTRY_COMPARE_WITH_TIMEOUT(warnings->size(), 1, 30000);
        QVERIFY(!d->okButton()->isEnabled());
        d->slotButtonClicked(); // even if it were pressed
        QCOMPARE(int(d->session()->state()), int(VUpdateSession::Ready));
        QCOMPARE(server.requestCount("/client/us"), requests);
        QCOMPARE(sha256Of(pf.tmp.path() + "/sentinel"), sentinel);
        QVERIFY(QFile::exists(pf.updateDir() + "/stale.bin"));
        QCOMPARE(pf.snapshot(), before);
    }

    // No version: the server's message, "更新" stays disabled. A transport
    // failure carries its text in "Msg".
    void noVersionOrTransportFailure()
    {
        ProgramFolder pf;
        QVERIFY(pf.create("old program"));
        QVERIFY(describe(server, {{"memo", "x"}, {"msg", "服务维护中，请稍后再试"}}));
        QSignalSpy *w = nullptr;
        auto d = open(pf, &w);
        std::unique_ptr<QSignalSpy> warnings(w);
        QTRY_COMPARE(texts(*warnings), QStringList{QStringLiteral("服务维护中，请稍后再试")});
        QVERIFY(!d->okButton()->isEnabled());

        QVERIFY(server.addFault("/client/update.json", "status", 503));
        d->requestDescription();
        QTRY_COMPARE(warnings->size(), 2);
        QVERIFY(!warnings->at(1).at(0).toString().isEmpty());
        QVERIFY(!d->okButton()->isEnabled());
        d->slotButtonClicked();
        QCOMPARE(int(d->session()->state()), int(VUpdateSession::Ready));
    }

    // A download error ends the run like a mismatch: button back to "更新".
    void downloadErrorAllowsRetry()
    {
        ProgramFolder pf;
        QVERIFY(pf.create("old program"));
        const QString ma = publish(server, "de/a.bin", QByteArray(5000, 'a'));
        QVERIFY(describe(server, {{"version", "9.2.0"}, {"files", QJsonArray{entry("de", "a.bin", ma)}}}));
        QVERIFY(server.addFault("/client/de/a.bin", "status", 500, 1));
        QSignalSpy *w = nullptr;
        auto d = open(pf, &w);
        std::unique_ptr<QSignalSpy> warnings(w);
        QTRY_VERIFY_WITH_TIMEOUT(d->okButton()->isEnabled(), 30000);
        d->okButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(warnings->size(), 1, 30000);
        QTRY_COMPARE(button(*d), QStringLiteral("更新"));
        d->okButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(button(*d), QStringLiteral("完成"), 60000);
        QCOMPARE(sha256Of(pf.updateDir() + "/a.bin"), sha256Of(server.dataDir() + "/client/de/a.bin"));
    }

    // Closing the dialog while a download hangs stops the worker and joins
    // its thread: the dialog goes without waiting for the server.
    void closeDuringDownload()
    {
        ProgramFolder pf;
        QVERIFY(pf.create("old program"));
        const QString mb = publish(server, "cl/big.bin", QByteArray(4 << 20, 'z'));
        QVERIFY(describe(server, {{"version", "9.3.0"},
                                  {"memo", "版本 9.3.0：\n1. 新增文件夹模板\n2. 预览支持更多文档格式"},
                                  {"files", QJsonArray{entry("cl", "big.bin", mb)}}}));
        QVERIFY(server.addFault("/client/cl/big.bin", "stall", 600000, 0, {{"after", 65536}}));
        auto d = open(pf);
        QTRY_VERIFY_WITH_TIMEOUT(d->okButton()->isEnabled(), 30000);
        d->show();
        d->okButton()->click();
        // the first 64 KiB arrived, then the server goes silent
        const QString partial = pf.updateDir() + "/big.bin.orvelnetdisk.update.download";
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(partial).size() > 0, 60000);
        QCOMPARE(button(*d), QStringLiteral("更新中"));
        // a description that arrives meanwhile does not swap the running list
        d->slotRequestResult({{"version", "9.4.0"}, {"files", QJsonArray()}});
        QCOMPARE(d->session()->description().version, QStringLiteral("9.3.0"));
        QCOMPARE(int(d->session()->state()), int(VUpdateSession::Running));
        shot(d.get(), "update-running.png");
        d->reject();
        QCOMPARE(int(d->session()->state()), int(VUpdateSession::Ready));
        d.reset(); // joins the worker's thread
        server.clearFaults();
    }
};

QTEST_MAIN(TestVUpdate)
#include "tst_vupdate.moc"
