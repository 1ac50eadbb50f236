// The login dialog against the stand-in service: the whole sign-in sequence
// with one and with two schools, automatic sign-in, remembered accounts, the
// check-box rules, and the refusal of an account another process holds.
#include "login/vlogin.h"

#include "Api/api.h"
#include "DB/db_setting.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "accessibilitycheck.h"
#include "testhome.h"
#include "testserver.h"
#include "testshot.h"
#include "uitestsetup.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

class TestVLogin : public QObject
{
    Q_OBJECT

    TestHome home;
    TestServer server;

    template <typename T>
    static T *child(QWidget *w, const char *name)
    {
        T *c = w->findChild<T *>(QString::fromLatin1(name));
        if (!c)
            qFatal("no child %s", name);
        return c;
    }
    static void fill(VLogin &dlg, const QString &user, const QString &password)
    {
        child<QLineEdit>(&dlg, "txt_username")->setText(user);
        child<QLineEdit>(&dlg, "txt_password")->setText(password);
    }
    static bool onSchoolPage(VLogin &dlg)
    {
        auto *stack = child<QStackedWidget>(&dlg, "stackedWidget");
        return stack->currentWidget()->objectName() == QLatin1String("page_2");
    }
    static void remember(const QString &user, int school, int type, const QString &password, qint64 when)
    {
        QVERIFY(db_setting::instance()->addUser(user, school, type, password, QString::number(when)));
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        qputenv("ORVEL_SHM_KEY", QByteArray("orvel-tst-login-") + QByteArray::number(QCoreApplication::applicationPid()));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    }

    void init()
    {
        UserInfo::instance()->clear();
        Api::instance()->setToken(QString());
        VLogin::setSessionPassword(QString());
        db_setting::instance()->lasterror.clear();
        for (const QJsonValue &v : db_setting::instance()->getAll())
            db_setting::instance()->removeUser(v.toObject().value("username").toString());
    }

    void emptyFieldsAreRefused()
    {
        VLogin dlg;
        fill(dlg, QStringLiteral("demo"), QString());
        QTest::mouseClick(child<QPushButton>(&dlg, "pb_denglu"), Qt::LeftButton);
        QVERIFY(dlg.isErrorShown());
        QCOMPARE(dlg.errorText(), QStringLiteral("请填写用户名和密码"));
        QVERIFY(!dlg.isLoggingIn());
    }

    void wrongPasswordShowsTheServersMessage()
    {
        VLogin dlg;
        fill(dlg, QStringLiteral("demo"), QStringLiteral("wrong"));
        auto *button = child<QPushButton>(&dlg, "pb_denglu");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("登录中..."));
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dlg.isErrorShown(), 10000);
        QCOMPARE(dlg.errorText(), QStringLiteral("用户名或密码错误"));
        QCOMPARE(button->text(), QStringLiteral("登录"));
        QVERIFY(button->isEnabled());
        QVERIFY(dlg.result() != QDialog::Accepted);
        dlg.show();
        saveShot(&dlg, QStringLiteral("login-error.png"));
    }

    void oneSchoolGoesStraightThrough()
    {
        VLogin dlg;
        bool sawSchoolPage = false;
        connect(child<QStackedWidget>(&dlg, "stackedWidget"), &QStackedWidget::currentChanged, this,
                [&](int i) { sawSchoolPage |= i == 1; });
        fill(dlg, QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::keyClick(child<QLineEdit>(&dlg, "txt_password"), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 15000);
        QVERIFY(!sawSchoolPage);
        UserInfo *u = UserInfo::instance();
        QCOMPARE(u->schoolid, 1001);
        QVERIFY(!u->truename.isEmpty());
        QVERIFY(!Api::instance()->token().isEmpty());
        // nothing ticked: remembered with type 0 and no password, but the
        // typed one is kept for this run
        const QJsonArray all = db_setting::instance()->getAll();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.first().toObject().value("logintype").toInt(), 0);
        QCOMPARE(all.first().toObject().value("password").toString(), QString());
        QCOMPARE(u->password, QString());
        QCOMPARE(VLogin::sessionPassword(), QStringLiteral("demo123"));
    }

    void twoSchoolsShowTheSchoolPage()
    {
        VLogin dlg;
        dlg.show();
        fill(dlg, QStringLiteral("teacher"), QStringLiteral("teacher123"));
        child<QCheckBox>(&dlg, "checkBox_2")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(&dlg, "pb_denglu"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(onSchoolPage(dlg), 15000);
        QCOMPARE(child<QPushButton>(&dlg, "tab_mimadenglu")->text(), QStringLiteral("选择所在学校"));
        auto *list = child<QListWidget>(&dlg, "listWidget_2");
        QCOMPARE(list->count(), 2);
        QCOMPARE(dlg.schoolMap().size(), 2);
        saveShot(&dlg, QStringLiteral("login-schools.png"));

        // Return on the school page starts nothing
        const int before = server.requestCount(QStringLiteral("/api/v1/user/info/SsoAppID"));
        QTest::keyClick(&dlg, Qt::Key_Return);
        QTest::keyClick(&dlg, Qt::Key_Enter);
        QCOMPARE(server.requestCount(QStringLiteral("/api/v1/user/info/SsoAppID")), before);
        QVERIFY(onSchoolPage(dlg));

        // clicks on schools send one switch, to the first one clicked
        const int switches = server.requestCount(QStringLiteral("/api/v1/user/info/ChgSchool"));
        QWidget *row = list->itemWidget(list->item(1));
        auto *name = row->findChild<QPushButton *>(QStringLiteral("pushButton"));
        auto *arrow = row->findChild<QToolButton *>(QStringLiteral("toolButton"));
        name->click();
        arrow->click();
        // a click on another school meanwhile changes neither the switch nor what is remembered
        list->itemWidget(list->item(0))->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 15000);
        QCOMPARE(server.requestCount(QStringLiteral("/api/v1/user/info/ChgSchool")), switches + 1);
        QCOMPARE(UserInfo::instance()->schoolid, 1002);
        const QJsonObject saved = db_setting::instance()->getAll().first().toObject();
        QCOMPARE(saved.value("danweiid").toString(), QStringLiteral("1002"));
        QCOMPARE(saved.value("logintype").toInt(), 2);
        QCOMPARE(saved.value("password").toString(), QStringLiteral("teacher123"));
    }

    void keyboardAndScreenReader()
    {
        remember(QStringLiteral("teacher"), 1001, 0, QString(), QDateTime::currentMSecsSinceEpoch());
        VLogin dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QStringList bad = unnamedControls(&dlg);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
        QCOMPARE(accessibleNameOf(child<QToolButton>(&dlg, "toolButton_close")), QStringLiteral("关闭"));
        QCOMPARE(tabChain(&dlg), (QStringList{"txt_username", "toolButton", "txt_password", "checkBox", "checkBox_2",
                                               "pb_denglu"}));

        // the remembered accounts' drop-down: one row per account, each named
        child<QToolButton>(&dlg, "toolButton")->click();
        auto *accounts = child<QListWidget>(&dlg, "listWidget");
        QTRY_VERIFY(accounts->isVisible());
        bad = unnamedControls(&dlg);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
        QCOMPARE(accounts->item(0)->data(Qt::AccessibleTextRole).toString(), QStringLiteral("teacher"));
        QCOMPARE(accessibleNameOf(accounts->itemWidget(accounts->item(0))->findChild<QToolButton *>("toolButton")),
                 QStringLiteral("删除账号 teacher"));
        child<QToolButton>(&dlg, "toolButton")->click();
        QTRY_VERIFY(!accounts->isVisible());

        // sign in by keys only: type, Return, then Tab and Space on the school page
        child<QLineEdit>(&dlg, "txt_username")->clear(); // the remembered account was filled in
        child<QLineEdit>(&dlg, "txt_password")->clear();
        QTest::keyClicks(child<QLineEdit>(&dlg, "txt_username"), QStringLiteral("teacher"));
        QTest::keyClicks(child<QLineEdit>(&dlg, "txt_password"), QStringLiteral("teacher123"));
        QTest::keyClick(child<QLineEdit>(&dlg, "txt_password"), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(onSchoolPage(dlg), 15000);
        bad = unnamedControls(&dlg);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
        auto *list = child<QListWidget>(&dlg, "listWidget_2");
        QStringList rows, chain;
        for (int i = 0; i < list->count(); ++i) {
            rows << list->item(i)->data(Qt::AccessibleTextRole).toString();
            chain << accessibleNameOf(list->itemWidget(list->item(i))->findChild<QPushButton *>("pushButton"));
        }
        QCOMPARE(rows, chain);
        QCOMPARE(rows.size(), 2);
        QVERIFY(!rows.contains(QString()));
        QCOMPARE(tabChain(&dlg).count(QStringLiteral("pushButton")), 2); // both schools take Tab
        QWidget *second = list->itemWidget(list->item(1))->findChild<QPushButton *>("pushButton");
        second->setFocus();
        QTest::keyClick(second, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 15000);
        QCOMPARE(UserInfo::instance()->schoolid, 1002);
    }

    void automaticSignIn_data()
    {
        QTest::addColumn<int>("school");
        QTest::addColumn<bool>("schoolPage");
        QTest::newRow("remembered school in the list") << 1002 << false;
        QTest::newRow("remembered school gone") << 4242 << true;
    }

    void automaticSignIn()
    {
        QFETCH(int, school);
        QFETCH(bool, schoolPage);
        remember(QStringLiteral("teacher"), school, 2, QStringLiteral("teacher123"),
                 QDateTime::currentMSecsSinceEpoch());
        VLogin dlg; // starts signing in by itself
        QVERIFY(dlg.isLoggingIn());
        if (schoolPage) {
            QTRY_VERIFY_WITH_TIMEOUT(onSchoolPage(dlg), 15000);
            QVERIFY(dlg.result() != QDialog::Accepted);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 15000);
            QCOMPARE(UserInfo::instance()->schoolid, school);
        }
    }

    void aStoredMessageIsShownInsteadOfSigningIn()
    {
        remember(QStringLiteral("teacher"), 1002, 2, QStringLiteral("teacher123"),
                 QDateTime::currentMSecsSinceEpoch());
        db_setting::instance()->lasterror = QStringLiteral("teacher已经在其他地方登录");
        VLogin dlg;
        QVERIFY(!dlg.isLoggingIn());
        QCOMPARE(dlg.errorText(), QStringLiteral("teacher已经在其他地方登录"));
    }

    void checkBoxRules()
    {
        VLogin dlg;
        auto *remember = child<QCheckBox>(&dlg, "checkBox");
        auto *autoLogin = child<QCheckBox>(&dlg, "checkBox_2");
        autoLogin->setChecked(true);
        QVERIFY(remember->isChecked());
        remember->setChecked(false);
        QVERIFY(!autoLogin->isChecked());
        remember->setChecked(true);
        QVERIFY(!autoLogin->isChecked());
    }

    void rememberedAccounts()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 6; ++i)
            remember(QStringLiteral("user%1").arg(i), 1001, i == 5 ? 1 : 0,
                     i == 5 ? QStringLiteral("pw5") : QString(), now + i);
        VLogin dlg;
        QListWidget *list = dlg.accountList();
        QCOMPARE(list->count(), 5);
        // the newest fills the form: remember-password ticks one box
        QCOMPARE(child<QLineEdit>(&dlg, "txt_username")->text(), QStringLiteral("user5"));
        QCOMPARE(child<QLineEdit>(&dlg, "txt_password")->text(), QStringLiteral("pw5"));
        QVERIFY(child<QCheckBox>(&dlg, "checkBox")->isChecked());
        QVERIFY(!child<QCheckBox>(&dlg, "checkBox_2")->isChecked());
        QVERIFY(!dlg.isLoggingIn());

        dlg.show();
        QTest::mouseClick(child<QToolButton>(&dlg, "toolButton"), Qt::LeftButton);
        QVERIFY(list->isVisible());
        QCOMPARE(list->height(), 27 * 5 + 15);
        saveShot(&dlg, QStringLiteral("login-accounts.png"));

        // picking an account without a stored password fills the name only
        QWidget *row = list->itemWidget(list->item(2));
        const QString picked = row->findChild<QPushButton *>(QStringLiteral("pushButton"))->text();
        row->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        QCOMPARE(child<QLineEdit>(&dlg, "txt_username")->text(), picked);
        QCOMPARE(child<QLineEdit>(&dlg, "txt_password")->text(), QString());
        QVERIFY(!child<QCheckBox>(&dlg, "checkBox")->isChecked());
        QVERIFY(list->isHidden());

        // the delete button removes the account without touching the form
        row = list->itemWidget(list->item(0));
        row->findChild<QToolButton *>(QStringLiteral("toolButton"))->click();
        QTRY_COMPARE(list->count(), 4);
        QCOMPARE(child<QLineEdit>(&dlg, "txt_username")->text(), picked);
        QCOMPARE(db_setting::instance()->getAll().size(), 4);
    }

    void anAccountHeldByAnotherProcessIsRefused()
    {
        QProcess holder;
        holder.start(QStringLiteral(ORVEL_HOLDER_BINARY), {QStringLiteral("demo")});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("ready"));

        {
            VLogin dlg;
            fill(dlg, QStringLiteral("demo"), QStringLiteral("demo123"));
            QTest::mouseClick(child<QPushButton>(&dlg, "pb_denglu"), Qt::LeftButton);
            QCOMPARE(dlg.errorText(), QStringLiteral("您已登录demo，请勿重复登录。"));
            QVERIFY(!dlg.isLoggingIn());

            fill(dlg, QStringLiteral("admin"), QStringLiteral("admin123"));
            QTest::mouseClick(child<QPushButton>(&dlg, "pb_denglu"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 15000);
        }

        // once the holder is gone its entry no longer blocks
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        VLogin dlg;
        fill(dlg, QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(child<QPushButton>(&dlg, "pb_denglu"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.result(), int(QDialog::Accepted), 15000);
    }
};

QTEST_MAIN(TestVLogin)
#include "tst_vlogin.moc"
