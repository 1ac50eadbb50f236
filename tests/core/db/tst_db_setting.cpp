// The settings store on real SQLite files: schema, account limit and order,
// the last error shown once, settings defaults, the pending cancels.

#include "DB/db_setting.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vconfigs.h"
#include "records/m_config.h"
#include "utils/vutils.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class TestDbSetting : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    int m_serial = 0;

    QString freshPath() { return m_home.filePath(QStringLiteral("store%1.db").arg(++m_serial)); }

    // Reads the file behind the store's back.
    static QVariantList column(const QString &path, const QString &sql)
    {
        QVariantList out;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
            db.setDatabaseName(path);
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql))
                    while (q.next())
                        out << q.value(0);
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("peek"));
        return out;
    }

    static QStringList names(const QJsonArray &users)
    {
        QStringList n;
        for (const QJsonValue &v : users)
            n << v.toObject().value(QStringLiteral("username")).toString();
        return n;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toLocal8Bit());
        initOrvelCore();
        QVERIFY(loadCryptoScript());
        QVERIFY(!VUtils::instance()->toEncrypt(QStringLiteral("x")).isEmpty());
    }

    void freshFileGetsSchemaOnce()
    {
        const QString path = freshPath();
        {
            db_setting store(path);
            QVERIFY(store.lasterror.isEmpty());
            QVERIFY(store.addUser(QStringLiteral("keep"), 1, 1, QStringLiteral("p"), QStringLiteral("100")));
        }
        const QVariantList tables =
            column(path, QStringLiteral("select name from sqlite_master where type='table' order by name"));
        QCOMPARE(tables, QVariantList({QStringLiteral("other"), QStringLiteral("users"), QStringLiteral("version")}));
        QCOMPARE(column(path, QStringLiteral("select version from version")), QVariantList({QStringLiteral("1")}));
        {
            db_setting again(path); // existing file: left as it is
            QCOMPARE(names(again.getAll()), QStringList({QStringLiteral("keep")}));
        }
        QCOMPARE(column(path, QStringLiteral("select version from version")), QVariantList({QStringLiteral("1")}));
    }

    void instanceLivesInDataDir()
    {
        db_setting *store = db_setting::instance();
        QCOMPARE(store->filePath(), VUtils::dataDir() + QStringLiteral("/appSettings.db"));
        QVERIFY(store->filePath().startsWith(m_home.path()));
        QVERIFY(QFile::exists(store->filePath()));
    }

    void sixthAccountDropsTheOldest()
    {
        db_setting store(freshPath());
        QCOMPARE(store.userLimit(), 5);
        // lastlogin values of different lengths: ordered as numbers.
        const QStringList times = {"9", "10", "200", "3000", "40000", "500000"};
        for (int i = 0; i < times.size(); ++i)
            QVERIFY(store.addUser(QStringLiteral("u%1").arg(i), 10 + i, 1, QStringLiteral("pw%1").arg(i), times.at(i)));
        const QJsonArray all = store.getAll();
        QCOMPARE(names(all), QStringList({"u5", "u4", "u3", "u2", "u1"}));
        const QJsonObject top = all.at(0).toObject();
        QCOMPARE(top.value("danweiid").toString(), QStringLiteral("15"));
        QCOMPARE(top.value("password").toString(), QStringLiteral("pw5"));
        QCOMPARE(top.value("logintype").toInt(), 1);
        QCOMPARE(top.value("lastlogin").toDouble(), 500000.0);
    }

    void signingInAgainReplacesAndMovesToTop()
    {
        const QString path = freshPath();
        db_setting store(path);
        const qint64 now = 1733500000000; // milliseconds: beyond an int
        store.addUser(QStringLiteral("alice"), 1, 2, QStringLiteral("a1"), QString::number(now));
        store.addUser(QStringLiteral("o'brien"), 2, 0, QString(), QString::number(now + 1));
        store.addUser(QStringLiteral("alice"), 3, 1, QStringLiteral("a2"), QString::number(now + 2));
        const QJsonArray all = store.getAll();
        QCOMPARE(names(all), QStringList({QStringLiteral("alice"), QStringLiteral("o'brien")}));
        QCOMPARE(all.at(0).toObject().value("danweiid").toString(), QStringLiteral("3"));
        QCOMPARE(all.at(0).toObject().value("password").toString(), QStringLiteral("a2"));
        QCOMPARE(qint64(all.at(0).toObject().value("lastlogin").toDouble()), now + 2);
        // Names, schools and passwords are stored encrypted.
        const QVariantList stored = column(path, QStringLiteral("select username from users"));
        QCOMPARE(stored.size(), 2);
        QVERIFY(!stored.contains(QStringLiteral("alice")));
        QVERIFY(stored.contains(VUtils::instance()->toEncrypt(QStringLiteral("alice"))));
    }

    void shortAddUserTakesTheSignedInUser()
    {
        db_setting store(freshPath());
        UserInfo *u = UserInfo::instance();
        u->username = QStringLiteral("teacher");
        u->schoolid = 77;
        u->logintype = 2;
        u->password = QStringLiteral("secret");
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(store.addUser());
        const QJsonObject row = store.getAll().at(0).toObject();
        QCOMPARE(row.value("username").toString(), QStringLiteral("teacher"));
        QCOMPARE(row.value("danweiid").toString(), QStringLiteral("77"));
        QCOMPARE(row.value("logintype").toInt(), 2);
        QVERIFY(qint64(row.value("lastlogin").toDouble()) >= before);
    }

    void removeUserAndAutoLogin()
    {
        db_setting store(freshPath());
        store.addUser(QStringLiteral("a"), 1, 2, QStringLiteral("x"), QStringLiteral("1"));
        store.addUser(QStringLiteral("b"), 1, 2, QStringLiteral("y"), QStringLiteral("2"));
        store.addUser(QStringLiteral("c"), 1, 0, QString(), QStringLiteral("3"));
        QVERIFY(store.removeUser(QStringLiteral("b")));
        QJsonArray all = store.getAll();
        QCOMPARE(names(all), QStringList({"c", "a"}));
        QCOMPARE(all.at(1).toObject().value("logintype").toInt(), 1); // auto sign-in off for all
        QCOMPARE(all.at(0).toObject().value("logintype").toInt(), 0);

        store.addUser(QStringLiteral("d"), 1, 2, QStringLiteral("z"), QStringLiteral("4"));
        QVERIFY(store.disableAutoLogin());
        QCOMPARE(store.getAll().at(0).toObject().value("logintype").toInt(), 1);
    }

    void lastErrorIsShownOnce()
    {
        const QString path = freshPath();
        {
            db_setting first(path);
            QVERIFY(first.setLasterror(QStringLiteral("teacher登录失效")));
        }
        {
            db_setting second(path);
            QCOMPARE(second.lasterror, QStringLiteral("teacher登录失效"));
        }
        {
            db_setting third(path);
            QCOMPARE(third.lasterror, QString());
        }
    }

    void missingConfigStoresDefaults()
    {
        const QString path = freshPath();
        M_config *config = M_config::instance();
        config->reset();
        {
            db_setting store(path);
            store.getConfig();
            QCOMPARE(config->Transfer_threadcount_upload, 2);
            QCOMPARE(config->Normal_isAlertUndone, true);
        }
        const QVariantList stored = column(path, QStringLiteral("select value from other where key='config'"));
        QCOMPARE(stored.size(), 1);
        const QJsonObject json =
            QJsonDocument::fromJson(VUtils::instance()->toDecrypt(stored.at(0).toString()).toUtf8()).object();
        QCOMPARE(json.size(), 13);
        QCOMPARE(json.value("Transfer_threadcount_download").toInt(), 2);
        QCOMPARE(json.value("Normal_isAutoUpdate").toBool(), true);

        // A changed setting survives; the path keeps its "//".
        config->Transfer_threadcount_upload = 4;
        config->Transfer_default_path = QStringLiteral("//nas/share/下载");
        {
            db_setting store(path);
            QVERIFY(store.setConfig());
        }
        config->reset();
        {
            db_setting store(path);
            store.getConfig();
        }
        QCOMPARE(config->Transfer_threadcount_upload, 4);
        QCOMPARE(config->Transfer_default_path, QStringLiteral("//nas/share/下载"));
        config->reset();
    }

    void unreadableConfigKeepsDefaults()
    {
        const QString path = freshPath();
        {
            db_setting store(path);
            store.setConfig();
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("poke"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            q.prepare(QStringLiteral("update other set value = ? where key = 'config'"));
            q.addBindValue(QStringLiteral("not-base64-at-all"));
            QVERIFY(q.exec());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("poke"));
        M_config::instance()->reset();
        db_setting store(path);
        store.getConfig();
        QCOMPARE(M_config::instance()->Transfer_threadcount_upload, 2);
        QCOMPARE(M_config::instance()->Transfer_threadcount_download, 2);
    }

    void cancelListRoundTrip()
    {
        const QString path = freshPath();
        const QJsonArray list = {QJsonObject{{"evtid", "e1"}, {"upserver", "http://127.0.0.1:9/"}},
                                 QJsonObject{{"evtid", "e'2"}, {"upserver", "https://up.example/"}}};
        {
            db_setting store(path);
            QCOMPARE(store.getCancle(), QJsonArray());
            QVERIFY(store.setCancle(list));
            QVERIFY(store.setCancle(list)); // update, not a second row
        }
        QCOMPARE(column(path, QStringLiteral("select count(*) from other where key='cancle'")).value(0).toInt(), 1);
        db_setting store(path);
        QCOMPARE(store.getCancle(), list);
    }

    void unopenableFileFailsQuietly()
    {
        db_setting store(m_home.filePath(QStringLiteral("no/such/dir/x.db")));
        QCOMPARE(store.getAll(), QJsonArray());
        QVERIFY(!store.addUser(QStringLiteral("a"), 1, 1, QString(), QStringLiteral("1")));
        QVERIFY(!store.setLasterror(QStringLiteral("x")));
        QCOMPARE(store.getCancle(), QJsonArray());
    }
};

QTEST_GUILESS_MAIN(TestDbSetting)
#include "tst_db_setting.moc"
