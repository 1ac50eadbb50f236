#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

// Start-up of the real executable in an isolated home: the log file of the
// data directory is deleted, --version prints the project version.
class TestStartup : public QObject
{
    Q_OBJECT
    QTemporaryDir home;

    QProcess *app(const QStringList &args, const QString &server = QString())
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ORVEL_SHM_KEY", shmKey());
        if (!server.isEmpty())
            env.insert("ORVEL_SERVER_ROOT", server);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ORVEL_APP), args);
        return p;
    }

    static QString shmKey() { return QStringLiteral("orvel-startup-%1").arg(QCoreApplication::applicationPid()); }

    QString dataDir() const { return home.path() + "/config/OrvelNetdisk"; }

private slots:
    void initTestCase() { QVERIFY(home.isValid()); }

    void version()
    {
        QProcess *p = app({"--version"});
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p->readAllStandardOutput()).trimmed(),
                 QStringLiteral("OrvelNetdisk " ORVEL_VERSION));
    }

    void logFileDeletedAtStart()
    {
        QVERIFY(QDir().mkpath(dataDir()));
        QFile log(dataDir() + "/log.txt");
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("old log\n");
        log.close();
        QProcess *p = app({}, "http://127.0.0.1:9/");
        QVERIFY(p->waitForStarted(30000));
        // Start-up then waits in the login dialog; the file goes first.
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(dataDir() + "/log.txt"), 30000);
        QCOMPARE(p->state(), QProcess::Running);
        p->kill();
        QVERIFY(p->waitForFinished(10000));
        // The OpenGL attributes were set in time (Qt warns otherwise).
        QVERIFY(!p->readAllStandardError().contains("must be set before"));
        // Leave no registry segment of the killed instance behind.
        QSharedMemory orphan(shmKey());
        if (orphan.attach())
            orphan.detach();
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
