#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "utils/vutils.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Addresses, the server-root override, disk types, categories and the user
// folders of the global parameters.
class TestGlobalParameter : public QObject
{
    Q_OBJECT
    QTemporaryDir home;

    static QStringList bases()
    {
        const VGlobalParameter *g = VGlobalParameter::instance();
        return {g->clientUrl(), g->apiUrl(), g->ssoUrl(), g->webUrl(), g->docsUrl()};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    }

    void defaults()
    {
        const VGlobalParameter *g = VGlobalParameter::instance();
        QVERIFY(g->isTest());
        QCOMPARE(g->apiThreadCount(), 5);
        QCOMPARE(g->loginCheckInterval(), 30000);
        QCOMPARE(g->layerShowTime(), 5000);
        QCOMPARE(g->layerStepTime(), 300);
        QCOMPARE(g->dialogMargin(), 2);
        QCOMPARE(g->dialogPos(), QPoint(0, 0));
        QCOMPARE(g->currentPath(), QString("/"));
        QVERIFY(!g->isDialogShowing() && !g->isRenaming() && !g->isUploadPreparing());
        QCOMPARE(g->transferTab(), 0);
        QVERIFY(QRegularExpression("^\\{[0-9a-f-]{36}\\}$").match(g->instanceId()).hasMatch());
        for (const QString &b : bases())
            QVERIFY2(b.endsWith('/'), qPrintable(b));
        QVERIFY(g->clientUrl().endsWith("client/"));
    }

    void releaseThenServerRoot()
    {
        VGlobalParameter *g = VGlobalParameter::instance();
        const QStringList test = bases();
        g->setIsRlease(true);
        QVERIFY(!g->isTest());
        const QStringList prod = bases();
        for (int i = 0; i < prod.size(); ++i) {
            QVERIFY(prod.at(i) != test.at(i));
            QVERIFY(prod.at(i).endsWith('/'));
        }
        QVERIFY(g->clientUrl().endsWith("client/"));

        g->setServerRoot("http://127.0.0.1:8080");
        QCOMPARE(bases(), QStringList({"http://127.0.0.1:8080/client/", "http://127.0.0.1:8080/api/",
                                       "http://127.0.0.1:8080/sso/", "http://127.0.0.1:8080/",
                                       "http://127.0.0.1:8080/docs/"}));
        g->setServerRoot(QString()); // ignored
        QCOMPARE(g->apiUrl(), QString("http://127.0.0.1:8080/api/"));
    }

    void serverRootOverride_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("env");
        QTest::addColumn<QString>("root");
        QTest::newRow("none") << QStringList{"app"} << "" << "";
        QTest::newRow("env") << QStringList{"app"} << "http://e/" << "http://e/";
        QTest::newRow("option") << QStringList{"app", "--server", "http://o/"} << "" << "http://o/";
        QTest::newRow("option-wins") << QStringList{"app", "--server", "http://o/"} << "http://e/" << "http://o/";
        QTest::newRow("equals-form") << QStringList{"app", "--server=http://q/"} << "" << "http://q/";
        QTest::newRow("dangling-option") << QStringList{"app", "--server"} << "http://e/" << "http://e/";
    }

    void serverRootOverride()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, env);
        QFETCH(QString, root);
        if (env.isEmpty())
            qunsetenv("ORVEL_SERVER_ROOT");
        else
            qputenv("ORVEL_SERVER_ROOT", env.toUtf8());
        QCOMPARE(VGlobalParameter::serverRootOverride(args), root);
        qunsetenv("ORVEL_SERVER_ROOT");
    }

    void diskTypes_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("name");
        QTest::newRow("lower") << "sharedisk" << QStringLiteral("公共网盘");
        QTest::newRow("mixed") << "ShareDisk" << QStringLiteral("公共网盘");
        QTest::newRow("upper") << "SHAREDISK" << QStringLiteral("公共网盘");
        QTest::newRow("other") << "mydisk" << QString();
        QTest::newRow("empty") << "" << QString();
    }

    void diskTypes()
    {
        QFETCH(QString, word);
        QFETCH(QString, name);
        QCOMPARE(VGlobalParameter::typeNameByWord(word), name);
        QCOMPARE(VGlobalParameter::typeByWord(word), name.isEmpty() ? 0 : 1);
    }

    void diskTypeNumbers()
    {
        QCOMPARE(VGlobalParameter::typeWord(1), QString("sharedisk"));
        QCOMPARE(VGlobalParameter::typeName(1), QStringLiteral("公共网盘"));
        QCOMPARE(VGlobalParameter::typeWord(2), QString());
        QCOMPARE(VGlobalParameter::typeName(0), QString());
    }

    void categories()
    {
        const QStringList names{"其他", "视频文件", "音频文件", "图片文件", "文档文件", "应用文件", "种子文件"};
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(VGlobalParameter::categoryName(i), names.at(i));
        QCOMPARE(VGlobalParameter::categoryName(7), QString());
        QCOMPARE(VGlobalParameter::categoryName(-1), QString());
    }

    void serverPaths()
    {
        UserInfo::instance()->schoolid = 12;
        const VGlobalParameter *g = VGlobalParameter::instance();
        QCOMPARE(g->sharediskPath("课程//A"), QStringLiteral("/12/sharedisk/课程/a/"));
        QCOMPARE(g->sharediskPath(""), QStringLiteral("/12/sharedisk/"));
        QCOMPARE(g->typeOfPath("/12/ShareDisk/x/"), 1);
        QCOMPARE(g->typeOfPath("/12/sharedisk"), 1);
        QCOMPARE(g->typeOfPath("/12/other/x/"), 0);
        QCOMPARE(g->typeOfPath("/13/sharedisk/x/"), 0);
        QCOMPARE(g->typeOfPath("/121/sharedisk/"), 0);
        QCOMPARE(g->typeOfPath(""), 0);
    }

    void userFoldersCreatedOnRequest()
    {
        UserInfo::instance()->id = 5;
        UserInfo::instance()->schoolid = 12;
        const VGlobalParameter *g = VGlobalParameter::instance();
        const QString base = VUtils::dataDir() + "/users/5/12";
        QCOMPARE(g->userPath(), base);
        QVERIFY(!QDir(base + "/cache").exists());
        QCOMPARE(g->userCachePath(), base + "/cache");
        QVERIFY(QDir(base + "/cache").exists());
        QCOMPARE(g->userCachePath(), base + "/cache"); // again: no failure
        QCOMPARE(g->userSavePath(), base + "/save");
        QVERIFY(QDir(base + "/save").exists());
        QCOMPARE(g->userTempPath(), base + "/temp");
        QVERIFY(QDir(base + "/temp").exists());
    }
};

QTEST_GUILESS_MAIN(TestGlobalParameter)
#include "tst_globalparameter.moc"
