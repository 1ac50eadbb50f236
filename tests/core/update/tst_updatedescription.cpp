#include "update/vupdatepolicy.h"
#include "updater/vupdatedescription.h"
#include "updater/vupdatemanifest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// The update description as it arrives from the network, the versions it is
// compared by, the decision the update check takes and the install list the
// updater reads back.
class TestUpdateDescription : public QObject
{
    Q_OBJECT

    static QJsonObject file(const QString &url, const QString &path, const QString &md5,
                            const QString &rename = QString())
    {
        QJsonObject o{{"url", url}, {"filepath", path}, {"md5", md5}};
        if (!rename.isEmpty())
            o.insert("rename", rename);
        return o;
    }
    static QJsonObject description(const QJsonArray &files, const QJsonArray &dels = QJsonArray())
    {
        return QJsonObject{{"version", "2.0.0"}, {"low", "1.0.0"}, {"memo", "notes"},
                           {"files", files},     {"deleteFiles", dels}};
    }
    static QString md5() { return QStringLiteral("0123456789abcdef0123456789abcdef"); }

private slots:
    void versions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("sign");
        QTest::newRow("equal") << "1.2.3" << "1.2.3" << true << 0;
        QTest::newRow("trailing zeros") << "1.0" << "1.0.0" << true << 0;
        QTest::newRow("one segment") << "2" << "2.0.0.0" << true << 0;
        QTest::newRow("newer") << "1.0.0" << "1.0.1" << true << -1;
        QTest::newRow("numeric, not text") << "1.10" << "1.9" << true << 1;
        QTest::newRow("older") << "2.0" << "1.99.99" << true << 1;
        QTest::newRow("letters") << "1.0.0" << "1.0.0beta" << false << 0;
        QTest::newRow("empty segment") << "1..0" << "1.0" << false << 0;
        QTest::newRow("empty") << "" << "1.0" << false << 0;
        QTest::newRow("garbage") << "1.0" << "版本二" << false << 0;
        QTest::newRow("negative") << "-1.0" << "1.0" << false << 0;
    }
    void versions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, ok);
        QFETCH(int, sign);
        bool parsed = !ok;
        const int r = VUpdateDescription::compareVersions(a, b, &parsed);
        QCOMPARE(parsed, ok);
        QCOMPARE(r < 0 ? -1 : r > 0 ? 1 : 0, sign);
        if (ok)
            QCOMPARE(-VUpdateDescription::compareVersions(b, a), sign);
    }

    // Every row is refused as a whole, whatever the other entries are.
    void unsafeDescriptionsRefused_data()
    {
        QTest::addColumn<QJsonObject>("o");
        const QString u = QStringLiteral("http://127.0.0.1:1/client/v2");
        const QJsonObject good = file(u, "a.bin", md5());
        auto del = [&](const QString &p) { return description({good}, {QJsonObject{{"path", p}}}); };
        QTest::newRow("delete ../x") << del("../x");
        QTest::newRow("delete absolute") << del("/etc/passwd");
        QTest::newRow("delete a/../../x") << del("a/../../x");
        QTest::newRow("delete backslash") << del("a\\..\\x");
        QTest::newRow("delete drive") << del("C:/Windows/x");
        QTest::newRow("delete control char") << del("a\nb");
        QTest::newRow("delete update folder") << del("AutoUpdate/OrvelTool");
        QTest::newRow("delete update folder, other case") << del("autoupdate");
        QTest::newRow("delete empty segment") << del("a//b");
        QTest::newRow("delete the program") << del("OrvelNetdisk");
        QTest::newRow("delete what it installs") << del("a.bin");
        QTest::newRow("delete entry not an object") << description({good}, {QJsonValue("x")});
        QTest::newRow("deleteFiles not an array") << QJsonObject{{"version", "2.0"}, {"deleteFiles", "x"}};
        QTest::newRow("rename ../x") << description({file(u, "a.bin", md5(), "../x")});
        QTest::newRow("rename to the updater") << description({file(u, "a.bin", md5(), "OrvelTool")});
        QTest::newRow("rename to addr.txt") << description({file(u, "a.bin", md5(), "ADDR.TXT")});
        QTest::newRow("url ends in /..") << description({file(u, "..", md5())});
        QTest::newRow("url ends in %2F..") << description({file(u, "x%2F..", md5())});
        QTest::newRow("url ends in %5C..") << description({file(u, "x%5C..", md5())});
        QTest::newRow("url without a name") << description({file(u, "", md5())});
        QTest::newRow("url not http") << description({file("file:///etc", "passwd", md5())});
        QTest::newRow("url without host") << description({file("http://", "a.bin", md5())});
        QTest::newRow("md5 missing") << description({QJsonObject{{"url", u}, {"filepath", "a.bin"}}});
        QTest::newRow("md5 short") << description({file(u, "a.bin", "abc")});
        QTest::newRow("md5 not hex") << description({file(u, "a.bin", QString(32, 'z'))});
        QTest::newRow("two files, one name") << description({good, file(u + "/sub", "A.BIN", md5())});
        QTest::newRow("rename onto another's name")
            << description({good, file(u, "b.bin", md5(), "a.bin")});
        QTest::newRow("files not an array") << QJsonObject{{"version", "2.0"}, {"files", QJsonObject()}};
        QTest::newRow("file not an object") << description({QJsonValue(3)});
    }
    void unsafeDescriptionsRefused()
    {
        QFETCH(QJsonObject, o);
        const VUpdateDescription d = VUpdateDescription::parse(o, QStringLiteral("OrvelNetdisk"));
        QVERIFY(d.hasVersion());
        QVERIFY2(!d.isUsable(), "refused");
        QVERIFY(!d.error.isEmpty());
        VUpdatePolicy::Facts facts;
        facts.ownVersion = QStringLiteral("1.5.0");
        facts.programName = QStringLiteral("OrvelNetdisk");
        QCOMPARE(int(VUpdatePolicy::decide(o, facts).action), int(VUpdatePolicy::Error));
    }

    void usableDescription()
    {
        const QString u = QStringLiteral("http://127.0.0.1:1/client/v2");
        QJsonObject o = description({file(u, "dir/a.bin", md5().toUpper()), file(u + "/", "b.bin", md5(), "c.bin"),
                                     file(u, "%E6%96%B0.dat", md5())},
                                    {QJsonObject{{"path", "plugins/old.so"}}, QJsonObject{{"path", "readme.txt"}}});
        const VUpdateDescription d = VUpdateDescription::parse(o, QStringLiteral("OrvelNetdisk"));
        QVERIFY2(d.isUsable(), qPrintable(d.error));
        QCOMPARE(d.files.size(), 3);
        QCOMPARE(d.files.at(0).md5, md5()); // compared without case
        QCOMPARE(d.files.at(0).name, QStringLiteral("a.bin"));
        QCOMPARE(d.files.at(0).source, u + "/dir/a.bin");
        QCOMPARE(d.files.at(1).installName, QStringLiteral("c.bin"));
        QCOMPARE(d.files.at(2).name, QStringLiteral("新.dat"));
        QCOMPARE(d.deleteFiles, (QStringList{"plugins/old.so", "readme.txt"}));
    }

    // A transport failure is the envelope with "Msg"; a description without a
    // version carries "msg". Either text is what the user sees.
    void withoutVersion_data()
    {
        QTest::addColumn<QJsonObject>("o");
        QTest::addColumn<QString>("shown");
        QTest::newRow("msg") << QJsonObject{{"msg", "服务维护中"}} << "服务维护中";
        QTest::newRow("transport failure") << QJsonObject{{"Code", 99}, {"Msg", "网络连接失败"}} << "网络连接失败";
        QTest::newRow("nothing") << QJsonObject() << "更新版本文件获取失败";
    }
    void withoutVersion()
    {
        QFETCH(QJsonObject, o);
        QFETCH(QString, shown);
        const VUpdateDescription d = VUpdateDescription::parse(o);
        QVERIFY(!d.hasVersion());
        QCOMPARE(d.error, shown);
        QCOMPARE(int(VUpdatePolicy::decide(o, {}).action), int(VUpdatePolicy::Error));
        QVERIFY(!VUpdateDescription::parse(QByteArray("{\"version\":")).isUsable());
    }

    void decisions_data()
    {
        QTest::addColumn<QJsonObject>("o");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("insecure");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("message");
        const QJsonObject newer{{"version", "1.2.0"}, {"low", "1.0.0"}, {"files", QJsonArray()}};
        QJsonObject otherPlatform = newer;
        otherPlatform.insert("platform", "windows");
        QJsonObject thisPlatform = newer;
        thisPlatform.insert("platform", VUpdateDescription::currentPlatform().toUpper());
        const int nothing = VUpdatePolicy::Nothing, error = VUpdatePolicy::Error,
                  page = VUpdatePolicy::DownloadPage, inPlace = VUpdatePolicy::InPlace;
        QTest::newRow("same") << QJsonObject{{"version", "1.1.0"}} << false << false << nothing << "";
        QTest::newRow("same, written shorter") << QJsonObject{{"version", "1.1"}} << false << false << nothing << "";
        QTest::newRow("unparseable") << QJsonObject{{"version", "v1.2"}} << false << false << error
                                     << "更新版本文件获取失败";
        QTest::newRow("unparseable low") << QJsonObject{{"version", "1.2"}, {"low", "x"}} << false << false << error
                                         << "更新版本文件获取失败";
        QTest::newRow("newer") << newer << false << false << inPlace << "";
        // an operator may roll back: an older published version is offered too
        QTest::newRow("older") << QJsonObject{{"version", "1.0.9"}} << false << false << inPlace << "";
        QTest::newRow("below the minimum") << QJsonObject{{"version", "3.0"}, {"low", "2.0"}} << false << false
                                           << page << "版本过低，请下载安装最新客户端";
        QTest::newRow("packaged") << newer << true << false << page << "发现新版本 1.2.0，请下载安装最新客户端";
        QTest::newRow("unverified TLS") << newer << false << true << page
                                        << "发现新版本 1.2.0，请下载安装最新客户端";
        QTest::newRow("other platform") << otherPlatform << false << false << page
                                        << "发现新版本 1.2.0，请下载安装最新客户端";
        QTest::newRow("this platform") << thisPlatform << false << false << inPlace << "";
        QTest::newRow("packaged and same") << QJsonObject{{"version", "1.1.0.0"}} << true << false << nothing << "";
    }
    void decisions()
    {
        QFETCH(QJsonObject, o);
        QFETCH(bool, managed);
        QFETCH(bool, insecure);
        QFETCH(int, action);
        QFETCH(QString, message);
        VUpdatePolicy::Facts facts;
        facts.ownVersion = QStringLiteral("1.1.0");
        facts.managed = managed;
        facts.insecureTls = insecure;
        const VUpdatePolicy::Decision d = VUpdatePolicy::decide(o, facts);
        QCOMPARE(int(d.action), action);
        QCOMPARE(d.message, message);
    }

    // The package manager's marker, or a folder this user cannot write, makes
    // an installation that is never changed in place.
    void managedInstall()
    {
        QTemporaryDir dir;
        QVERIFY(!VUpdatePolicy::isManagedInstall(dir.path()));
        QFile marker(dir.path() + "/" + VUpdateManifest::packagedMarkerName());
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        QVERIFY(VUpdatePolicy::isManagedInstall(dir.path()));
        QVERIFY(marker.remove());
        if (::geteuid() != 0) {
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(VUpdatePolicy::isManagedInstall(dir.path()));
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QVERIFY(!VUpdatePolicy::isManagedInstall(dir.path()));
    }

    void manifestRoundTripAndChecks()
    {
        VUpdateManifest m;
        m.program = QStringLiteral("/opt/Orvel/OrvelNetdisk");
        m.pid = 4242;
        m.arguments = QStringList{"--server", "http://127.0.0.1:9/"};
        m.version = QStringLiteral("2.0");
        m.files << VUpdateManifest::File{"OrvelNetdisk", md5(), QString(64, 'a')};
        m.deleteFiles << QStringLiteral("plugins/old.so");
        VUpdateManifest back;
        QString error;
        QVERIFY2(VUpdateManifest::fromJson(m.toJson(), &back, &error), qPrintable(error));
        QCOMPARE(back.program, m.program);
        QCOMPARE(back.pid, m.pid);
        QCOMPARE(back.arguments, m.arguments);
        QCOMPARE(back.files.size(), 1);
        QCOMPARE(back.files.at(0).sha256, QString(64, 'a'));
        QCOMPARE(back.deleteFiles, m.deleteFiles);

        // what the updater refuses even if the list was written by someone else
        const QList<QByteArray> bad{
            R"({"program":"/p/x","files":[{"name":"../x","md5":"0123456789abcdef0123456789abcdef","sha256":"%1"}]})",
            R"({"program":"/p/x","files":[{"name":"OrvelTool","md5":"0123456789abcdef0123456789abcdef","sha256":"%1"}]})",
            R"({"program":"/p/x","files":[{"name":"a","md5":"0123","sha256":"%1"}]})",
            R"({"program":"/p/x","deleteFiles":["../../etc/passwd"]})",
            R"({"program":"/p/x","deleteFiles":["AutoUpdate/addr.txt"]})",
            R"({"program":"/p/x","arguments":[1]})",
            R"({"files":[]})",
            "not json"};
        for (QByteArray b : bad) {
            b.replace("%1", QByteArray(64, 'b'));
            QVERIFY2(!VUpdateManifest::fromJson(b, &back, &error), b.constData());
        }
    }

    void hashesOfAFile()
    {
        QTemporaryDir dir;
        QFile f(dir.path() + "/a");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("abc");
        f.close();
        QString md5, sha;
        QVERIFY(VUpdateManifest::hashFile(f.fileName(), &md5, &sha));
        QCOMPARE(md5, QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(sha, QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QVERIFY(!VUpdateManifest::hashFile(dir.path() + "/missing", &md5, &sha));
    }
};

QTEST_GUILESS_MAIN(TestUpdateDescription)
#include "tst_updatedescription.moc"
