// The whole road of an update, with the real updater in a temporary program
// folder: a stand-in "old client" runs, the update dialog downloads version
// N+1 from the stand-in service, hands over and ends the old client; the
// updater installs and starts the new client with the same arguments. Also
// the roads back: a tampered file, a target that cannot be replaced, a second
// updater.
#include "update/vupdate.h"

#include "context/vglobalparameter.h"
#include "update/vupdatesession.h"
#include "updater/vupdatemanifest.h"
#include "testhome.h"
#include "testserver.h"
#include "updatefixture.h"
#include "uitestsetup.h"

#include <QJsonArray>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace updatefixture;

namespace {
// The stand-in clients write one line per start (and the old one when it
// ends) into the file named by ORVEL_STUB_LOG.
const QByteArray kOldClient = "#!/bin/sh\n"
                              "echo \"old start $*\" >> \"$ORVEL_STUB_LOG\"\n"
                              "read line\n"
                              "echo \"old end\" >> \"$ORVEL_STUB_LOG\"\n";
const QByteArray kNewClient = "#!/bin/sh\n"
                              "echo \"new start $*\" >> \"$ORVEL_STUB_LOG\"\n";
} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server;
    QString stubLog;

    QStringList logLines() const
    {
        QFile f(stubLog);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    static QString readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // A program folder with the old client, a library, a file the update
    // deletes, and the real updater; the old client running.
    struct Scene
    {
        ProgramFolder pf;
        QProcess oldClient;
        std::unique_ptr<VUpdate> dialog;
        QStringList args;
    };

    std::unique_ptr<Scene> scene(const QString &dir)
    {
        auto s = std::make_unique<Scene>();
        if (!s->pf.create(kOldClient) || !writeFile(s->pf.path() + "/lib.dat", "old lib")
            || !writeFile(s->pf.path() + "/obsolete.dat", "to be deleted")
            || !writeFile(s->pf.path() + "/plugins/keep.so", "kept")
            || !s->pf.addUpdater(QStringLiteral(ORVEL_UPDATER_BINARY)))
            return nullptr;
        const QString mp = publish(server, dir + "/OrvelNetdisk", kNewClient);
        const QString ml = publish(server, dir + "/lib.dat", QByteArray(70000, 'L'));
        if (!describe(server, {{"version", "9.9.9"},
                               {"files", QJsonArray{entry(dir, "OrvelNetdisk", mp), entry(dir, "lib.dat", ml)}},
                               {"deleteFiles", QJsonArray{QJsonObject{{"path", "obsolete.dat"}}}}}))
            return nullptr;
        s->args = QStringList{"--server", server.rootUrl(), "--flag=a b"};
        s->oldClient.start(s->pf.program(), s->args);
        if (!s->oldClient.waitForStarted(10000))
            return nullptr;
        s->dialog = std::make_unique<VUpdate>();
        VUpdateSession *session = s->dialog->session();
        session->setProgramPath(s->pf.program());
        session->setProcessId(s->oldClient.processId());
        session->setRestartArguments(s->args);
        // What the main window's orderly shutdown would do: the client ends.
        QProcess *old = &s->oldClient;
        s->dialog->setQuitHandler([old] { old->closeWriteChannel(); });
        return s;
    }

    // Downloads and verifies through the dialog; "完成" is then showing.
    static bool download(Scene &s)
    {
        s.dialog->requestDescription();
        if (!QTest::qWaitFor([&] { return s.dialog->okButton()->isEnabled(); }, 20000))
            return false;
        s.dialog->okButton()->click();
        return QTest::qWaitFor([&] { return s.dialog->okButton()->text() == QStringLiteral("完成"); }, 60000);
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
        stubLog = home.path() + "/stub.log";
        qputenv("ORVEL_STUB_LOG", stubLog.toUtf8());
    }

    void init() { QFile::remove(stubLog); }

    void updaterShowsVersionAndHelp()
    {
        QProcess p;
        p.start(QStringLiteral(ORVEL_UPDATER_BINARY), {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("OrvelTool "));
    }

    void newVersionInstalledAndStarted()
    {
        auto s = scene("e2e");
        QVERIFY(s);
        QTRY_COMPARE_WITH_TIMEOUT(logLines().value(0), "old start " + s->args.join(' '), 30000);
        QVERIFY(download(*s));
        s->dialog->okButton()->click(); // hand over; the old client ends
        QVERIFY(s->oldClient.waitForFinished(30000));
        QTRY_VERIFY_WITH_TIMEOUT(logLines().size() >= 3, 60000);
        // the new client started after the old one ended, with its arguments
        QCOMPARE(logLines(), (QStringList{"old start " + s->args.join(' '), "old end",
                                          "new start " + s->args.join(' ')}));
        const QFileInfo program(s->pf.program());
        QVERIFY(program.isExecutable());
        QCOMPARE(sha256Of(program.filePath()), sha256Of(server.dataDir() + "/client/e2e/OrvelNetdisk"));
        QCOMPARE(sha256Of(s->pf.path() + "/lib.dat"), sha256Of(server.dataDir() + "/client/e2e/lib.dat"));
        QVERIFY(!QFile::exists(s->pf.path() + "/obsolete.dat"));
        QVERIFY(QFile::exists(s->pf.path() + "/plugins/keep.so"));
        QTRY_VERIFY(readAll(s->pf.updateDir() + "/update.log").contains("done"));
        // the updater stays for the next time; its hand-over files are gone
        QVERIFY(QFileInfo(s->pf.updateDir() + "/OrvelTool").isExecutable());
        QVERIFY(!QFile::exists(s->pf.updateDir() + "/addr.txt"));
        QVERIFY(!QFile::exists(s->pf.updateDir() + "/backup"));
    }

    // A file changed after its check: nothing is installed, the old client
    // starts again.
    void tamperedFileLeavesProgramFolder()
    {
        auto s = scene("tamper");
        QVERIFY(s);
        QTRY_VERIFY_WITH_TIMEOUT(!logLines().isEmpty(), 30000);
        const auto before = s->pf.snapshot();
        QVERIFY(download(*s));
        QVERIFY(writeFile(s->pf.updateDir() + "/lib.dat", QByteArray(70000, 'M')));
        s->dialog->okButton()->click();
        QVERIFY(s->oldClient.waitForFinished(30000));
        QTRY_VERIFY_WITH_TIMEOUT(logLines().size() >= 3, 60000);
        QCOMPARE(logLines().value(2), "old start " + s->args.join(' '));
        QCOMPARE(s->pf.snapshot(), before);
        QTRY_VERIFY(readAll(s->pf.updateDir() + "/update.log").contains("校验失败"));
    }

    // The second file cannot be put in place (a folder holds its name): the
    // first one is rolled back and the old client starts again.
    void failedInstallRollsBack()
    {
        auto s = scene("rollback");
        QVERIFY(s);
        QVERIFY(QFile::remove(s->pf.path() + "/lib.dat"));
        QVERIFY(writeFile(s->pf.path() + "/lib.dat/inside", "a folder now"));
        QTRY_VERIFY_WITH_TIMEOUT(!logLines().isEmpty(), 30000);
        const auto before = s->pf.snapshot();
        const QFile::Permissions mode = QFile::permissions(s->pf.program());
        QVERIFY(download(*s));
        s->dialog->okButton()->click();
        QVERIFY(s->oldClient.waitForFinished(30000));
        QTRY_VERIFY_WITH_TIMEOUT(logLines().size() >= 3, 60000);
        QCOMPARE(logLines().value(2), "old start " + s->args.join(' '));
        QCOMPARE(s->pf.snapshot(), before);
        QCOMPARE(QFile::permissions(s->pf.program()), mode);
        QTRY_VERIFY(readAll(s->pf.updateDir() + "/update.log").contains("已恢复原有文件"));
    }

    // Only one updater runs per program folder.
    void secondUpdaterExitsOnLock()
    {
        ProgramFolder pf;
        QVERIFY(pf.create(kOldClient));
        QVERIFY(pf.addUpdater(QStringLiteral(ORVEL_UPDATER_BINARY)));
        QLockFile lock(pf.updateDir() + "/OrvelTool.lock");
        QVERIFY(lock.tryLock(0));
        QProcess p;
        p.start(pf.updateDir() + "/OrvelTool", QStringList());
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 3);
        QVERIFY(readAll(pf.updateDir() + "/update.log").contains("另一个升级程序正在运行"));
        QVERIFY(logLines().isEmpty()); // nothing was started
    }

    // A hand-over whose program lies elsewhere, or whose list names a file
    // outside the folder, is refused before anything is touched.
    void badHandOverRefused_data()
    {
        QTest::addColumn<QString>("addr");
        QTest::addColumn<QByteArray>("list");
        QTest::newRow("program elsewhere") << "/bin/sh" << QByteArray(R"({"program":"/bin/sh","pid":0})");
        QTest::newRow("delete outside")
            << "PROGRAM" << QByteArray(R"({"program":"PROGRAM","pid":0,"deleteFiles":["../sentinel"]})");
        QTest::newRow("install outside")
            << "PROGRAM"
            << QByteArray(R"({"program":"PROGRAM","pid":0,"files":[{"name":"../sentinel","md5":")"
                          + QByteArray(32, '0') + R"(","sha256":")" + QByteArray(64, '0') + R"("}]})");
    }
    void badHandOverRefused()
    {
        QFETCH(QString, addr);
        QFETCH(QByteArray, list);
        ProgramFolder pf;
        QVERIFY(pf.create(kOldClient));
        QVERIFY(pf.addUpdater(QStringLiteral(ORVEL_UPDATER_BINARY)));
        QVERIFY(writeFile(pf.tmp.path() + "/sentinel", "outside"));
        addr.replace("PROGRAM", pf.program());
        list.replace("PROGRAM", pf.program().toUtf8());
        QVERIFY(writeFile(pf.updateDir() + "/addr.txt", addr.toUtf8()));
        QVERIFY(writeFile(pf.updateDir() + "/install.json", list));
        const auto before = pf.snapshot();
        const QByteArray sentinel = sha256Of(pf.tmp.path() + "/sentinel");
        QProcess p;
        p.start(pf.updateDir() + "/OrvelTool", QStringList());
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(pf.snapshot(), before);
        QCOMPARE(sha256Of(pf.tmp.path() + "/sentinel"), sentinel);
    }
};

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
