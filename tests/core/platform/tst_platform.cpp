#include "platform/vplatform.h"
#include "utils/vutils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// The Linux side of the platform layer: autostart entry, process liveness,
// ending processes by id and by name, drop-search folders.
class TestPlatform : public QObject
{
    Q_OBJECT
    QTemporaryDir home;

    QProcess *sleeper(const QString &program)
    {
        auto *p = new QProcess(this);
        p->start(program, {"30"});
        return p->waitForStarted(10000) ? p : nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    }

    void autostartWrittenAndRemoved()
    {
        const QString entry = home.path() + "/config/autostart/OrvelNetdisk.desktop";
        QCOMPARE(VPlatform::autoRunLocation("OrvelNetdisk"), entry);
        const QString exe = QStringLiteral("/opt/Orvel Netdisk/bin/OrvelNetdisk");
        QVERIFY(VUtils::setAutoRun("OrvelNetdisk", exe, true));
        QVERIFY(QFile::exists(entry));
        QFile first(entry);
        QVERIFY(first.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = first.readAll().split('\n');
        QCOMPARE(lines.value(0), QByteArray("[Desktop Entry]"));
        QVERIFY(lines.contains("Type=Application"));
        QVERIFY(lines.contains("Name=OrvelNetdisk"));
        // Quoted as one argument despite the space.
        QVERIFY(lines.contains("Exec=\"/opt/Orvel Netdisk/bin/OrvelNetdisk\""));
        first.close();

        // Writing twice replaces; removing twice is no error.
        QVERIFY(VUtils::setAutoRun("OrvelNetdisk", "/usr/bin/OrvelNetdisk", true));
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("Exec=\"/usr/bin/OrvelNetdisk\"\n"));
        QCOMPARE(text.count("[Desktop Entry]"), 1);
        f.close();
        QVERIFY(VUtils::setAutoRun("OrvelNetdisk", QString(), false));
        QVERIFY(!QFile::exists(entry));
        QVERIFY(VUtils::setAutoRun("OrvelNetdisk", QString(), false));
    }

    void autostartQuotesSpecialCharacters()
    {
        QVERIFY(VPlatform::setAutoRun("Q", "/x/a\"b$c%d", true));
        QFile f(VPlatform::autoRunLocation("Q"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("Exec=\"/x/a\\\\\"b\\\\$c%%d\"\n"));
        QVERIFY(VPlatform::setAutoRun("Q", QString(), false));
    }

    void liveness()
    {
        QVERIFY(VPlatform::isRegistryIdAlive(VPlatform::ownRegistryId()));
        QCOMPARE(VPlatform::ownRegistryId(), quint32(::getpid()));
        QVERIFY(!VPlatform::isRegistryIdAlive(0));
        QProcess p;
        p.start("true", {});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(!VPlatform::isRegistryIdAlive(quint32(p.processId())));
    }

    void killById()
    {
        QProcess *p = sleeper("sleep");
        QVERIFY(p);
        const qint64 pid = p->processId();
        QVERIFY(VPlatform::isRegistryIdAlive(quint32(pid)));
        QVERIFY(VUtils::killProcess(pid));
        QVERIFY(p->waitForFinished(10000));
        QCOMPARE(p->exitStatus(), QProcess::CrashExit);
        QVERIFY(!VUtils::killProcess(0));
        QVERIFY(!VUtils::killProcess(QCoreApplication::applicationPid())); // never ourselves
    }

    void hideAndDropFolders()
    {
        QVERIFY(VPlatform::hideFolder(home.path()));
        QVERIFY(!VPlatform::hideFolder(home.path() + "/missing"));
        QCOMPARE(VPlatform::dropCandidateFolder(), QString());
        const QStringList places = VPlatform::dropSearchFolders();
        QVERIFY(places.contains(QDir::homePath()));
        QVERIFY(places.indexOf(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)) == 0);
        QVERIFY(places.contains("/"));
        QVERIFY(!VPlatform::raiseWindow(0));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
