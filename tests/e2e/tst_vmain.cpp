// The main window against the stand-in service: menu rules, page switches,
// the sign-in check, the act poll, the update check, password change and the
// shutdown that waits for transfers, and the last view kept across runs.
#include "gonggongwangpan/vgonggongwangpan.h"
#include "main/vemptypage.h"
#include "huishouzhan/vhuishouzhan.h"
#include "wodeshoucang/vwodeshoucang.h"
#include "zuijinfangwen/vzuijinfangwen.h"
#include "chuanshuliebiao/vchuanshuliebiao.h"
#include "main/vmain.h"
#include "main/enum_leftmenu.h"
#include "main/vmain_leftmenu.h"
#include "login/vlogin.h"
#include "main/vchangepassword.h"
#include "VWidgets/vprompt.h"
#include "update/vupdate.h"

#include "Api/api.h"
#include "DB/db_self.h"
#include "DB/db_setting.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "accessibilitycheck.h"
#include "testhome.h"
#include "testserver.h"
#include "testshot.h"
#include "uitestsetup.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <memory>

class TestVMain : public QObject
{
    Q_OBJECT

    TestHome home;
    TestServer server;
    QList<bool> quits; // one entry per quit, true when a restart was asked
    QString token;

    void signIn(const QString &user, const QString &password)
    {
        UserInfo::instance()->clear();
        QString error;
        token = server.signIn(user, password, 0, &error);
        QVERIFY2(!token.isEmpty(), qPrintable(user + QLatin1Char(' ') + error));
        Api::instance()->setToken(token);
        const QJsonObject info = server.call(QStringLiteral("api/v1/user/info/GetLoginInfo"), {}, token, false);
        QVERIFY(Api::instance()->setUserInfo(Api::getData(info).toObject()));
        UserInfo::instance()->username = user;
        VLogin::setSessionPassword(password);
    }
    std::unique_ptr<VMain> window()
    {
        return std::make_unique<VMain>();
    }
    // Answers every modal dialog that opens with fn (until it returns true).
    void onModal(std::function<bool(QWidget *)> fn)
    {
        auto *t = new QTimer(this);
        t->setObjectName(QStringLiteral("modal-answer"));
        t->setInterval(20);
        connect(t, &QTimer::timeout, this, [t, fn] {
            if (QWidget *m = QApplication::activeModalWidget())
                if (fn(m))
                    t->deleteLater();
        });
        t->start();
    }
    // Answers the next prompt with reject, keeping its text in *shown.
    void rejectPrompt(QString *shown)
    {
        onModal([shown](QWidget *m) {
            if (auto *p = qobject_cast<VPrompt *>(m)) {
                *shown = p->label()->text();
                p->reject();
                return true;
            }
            return false;
        });
    }
    static QStringList texts(const QSignalSpy &spy)
    {
        QStringList out;
        for (const QList<QVariant> &a : spy)
            out << a.at(0).toString();
        return out;
    }
    void writeUpdate(const QJsonObject &o)
    {
        QDir().mkpath(server.dataDir() + QStringLiteral("/client"));
        QFile f(server.dataDir() + QStringLiteral("/client/update.json"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(o).toJson());
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        qputenv("ORVEL_SHM_KEY", QByteArray("orvel-tst-main-") + QByteArray::number(QCoreApplication::applicationPid()));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
        {
            // the folders the disk view is sent to (it shows only folders that exist)
            const QString t = server.signIn("demo", "demo123");
            const QString id = server.call("api/v1/wp/act/add", {{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk"},
                                                                  {"dirs", "[\"资料/2026'春\"]"}}, t)
                                   .value("data").toObject().value("evtid").toString();
            QCOMPARE(server.waitAct(t, id).value("status").toInt(), 99);
        }
        VMain::Timings &t = VMain::timings();
        t.loginCheck = 150;
        t.actPoll = 50;
        t.closeStep = 50;
        t.passwordRestart = 100;
        t.updateDelay = 30000; // the update-check test starts it itself
        VMain::setQuitHandler([this](bool restart) { quits << restart; });
        // A lost sign-in (the disk view's requests after a sign-out) must not
        // start a second copy of this test.
        Api::instance()->setRestartHandler([](const QString &) {});
    }

    void cleanup()
    {
        // an answer that was never needed must not answer the next test's dialog
        for (QTimer *t : findChildren<QTimer *>(QStringLiteral("modal-answer")))
            delete t;
    }

    void init()
    {
        quits.clear();
        server.clearFaults();
        QFile::remove(server.dataDir() + QStringLiteral("/client/update.json"));
        VGlobalQueue::instance()->clearUploads();
        VGlobalQueue::instance()->clearDownloads();
        M_config::instance()->reset();
        signIn(QStringLiteral("demo"), QStringLiteral("demo123"));
        // every test starts without a remembered view
        QVERIFY(db_self::instance()->setLastvisit(QJsonObject()));
    }

    void menuRules_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("teacher") << "demo" << "demo123" << QList<int>{0, -1, 8, 9, 11, -1, 14};
        QTest::newRow("role 99 gets backup") << "admin" << "admin123" << QList<int>{0, -1, 8, 9, 11, -1, 14, 15};
    }

    void menuRules()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QList<int>, rows);
        signIn(user, password);
        auto w = window();
        auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
        QList<int> built;
        for (int i = 0; i < list->count(); ++i)
            built << list->itemWidget(list->item(i))->property("type").toInt();
        QCOMPARE(built, rows);
        QCOMPARE(w->windowTitle(), QStringLiteral("Corvane-%1").arg(UserInfo::instance()->truename));
        QTRY_COMPARE(w->currentMenu(), 0);
        QVERIFY(w->menuItem(0)->isSelected());
        QVERIFY(w->minimumSize() == QSize(1000, 600));
    }

    void menuValuesNotBuiltAreRefused()
    {
        auto w = window();
        QTRY_COMPARE(w->currentMenu(), 0);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        for (int v : {10, 13, 15, 5, -1}) {
            emit VGlobalConnect::instance()->signalClickLeftMenu(v, QVariant());
            QCOMPARE(w->currentMenu(), 0);
        }
        QCOMPARE(texts(err), QVector<QString>(5, QStringLiteral("菜单不存在")).toList());
    }

    void somePagesReloadOnEverySelection()
    {
        auto w = window();
        QSignalSpy selected(w.get(), &VMain::signalLeftmenuSelected);
        const char *lists[] = {"/api/v1/wp/visit/list", "/api/v1/wp/favourite/list", "/api/v1/wp/file/getrecyclelist"};
        QList<int> before;
        for (const char *l : lists)
            before << server.requestCount(QString::fromLatin1(l));
        for (int i = 0; i < 2; ++i)
            for (int v : {8, 9, 11, 14, 0})
                w->slotClickLeftMenu(v, QVariant());
        QVERIFY(qobject_cast<VZuijinfangwen *>(w->page(8)));
        QVERIFY(qobject_cast<VWodeshoucang *>(w->page(9)));
        QVERIFY(qobject_cast<VHuishouzhan *>(w->page(11)));
        // each selection asks for the list again
        for (int i = 0; i < 3; ++i)
            QTRY_VERIFY(server.requestCount(QString::fromLatin1(lists[i])) >= before.at(i) + 2);
        QVERIFY(qobject_cast<VChuanshuliebiao *>(w->page(14))); // the transfer list, made at start
        QVERIFY(qobject_cast<VGonggongwangpan *>(w->page(0)));
        QCOMPARE(selected.size(), 10);
        QVERIFY(w->menuItem(0)->isSelected());
        QVERIFY(!w->menuItem(14)->isSelected());
        w->slotClickLeftMenu(0, QStringLiteral("/资料/"));
        QTRY_COMPARE(w->page(0)->currentPath(), QStringLiteral("/资料/"));
    }

    void taskBadge()
    {
        auto w = window();
        VMain_leftmenu *entry = w->menuItem(14);
        emit VGlobalConnect::instance()->signalTaskChange(3);
        QCOMPARE(entry->countText(), QStringLiteral("  3  "));
        emit VGlobalConnect::instance()->signalTaskChange(12000);
        QCOMPARE(entry->countText(), QStringLiteral("  9999+  "));
        emit VGlobalConnect::instance()->signalTaskChange(0);
        QVERIFY(!entry->isCountShown());
    }

    void signedInElsewhereRestartsWithAMessage()
    {
        db_setting::instance()->addUser(QStringLiteral("demo"), 1001, 2, QStringLiteral("demo123"),
                                        QString::number(QDateTime::currentMSecsSinceEpoch()));
        auto w = window();
        const int before = server.requestCount(QStringLiteral("/api/v1/user/info/islogin"));
        QTRY_VERIFY(server.requestCount(QStringLiteral("/api/v1/user/info/islogin")) > before + 1);
        QVERIFY(quits.isEmpty());
        QVERIFY(!server.signIn(QStringLiteral("demo"), QStringLiteral("demo123")).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(quits.size(), 1, 5000);
        QVERIFY(quits.first());
        db_setting reread(db_setting::instance()->filePath());
        QCOMPARE(reread.lasterror, QStringLiteral("%1已经在其他地方登录").arg(UserInfo::instance()->loginname));
        QCOMPARE(db_setting::instance()->getAll().first().toObject().value("logintype").toInt(), 1);
    }

    void aFailingCheckKeepsChecking()
    {
        QVERIFY(server.addFault(QStringLiteral("/api/v1/user/info/islogin"), QStringLiteral("status"), 502, 3));
        auto w = window();
        const int before = server.requestCount(QStringLiteral("/api/v1/user/info/islogin"));
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount(QStringLiteral("/api/v1/user/info/islogin")) >= before + 5, 5000);
        QVERIFY(quits.isEmpty());
        QVERIFY(!w->isClosing());
    }

    void everyActRecordReachesTheHub()
    {
        auto w = window();
        QStringList ids;
        for (const char *name : {"甲", "乙"}) {
            const QJsonObject re = server.call(
                QStringLiteral("api/v1/wp/act/add"),
                {{"acttype", "AddDir"}, {"filepath", "/1001/sharedisk/"}, {"dirname", QString::fromUtf8(name)}}, token);
            QCOMPARE(Api::getCode(re), 0);
            const QString id = Api::getData(re).toObject().value("evtid").toVariant().toString();
            QVERIFY(!id.isEmpty());
            ids << id;
            Api::instance()->addAct(id);
        }
        QSignalSpy results(VGlobalConnect::instance(), &VGlobalConnect::signalWp_result);
        QSet<QString> seen;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QList<QVariant> &a : results)
                    seen.insert(a.at(0).toJsonObject().value("id").toVariant().toString());
                return seen.contains(ids.at(0)) && seen.contains(ids.at(1));
            }(),
            5000);
        for (const QString &id : ids)
            Api::instance()->removeAct(id);
    }

    void updateCheck_data()
    {
        QTest::addColumn<QJsonObject>("description");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<bool>("dialog");
        QTest::newRow("same version") << QJsonObject{{"version", "1.0.0"}, {"low", "1.0.0"}} << "" << "" << false;
        QTest::newRow("same version, written shorter") << QJsonObject{{"version", "1.0"}} << "" << "" << false;
        QTest::newRow("no version") << QJsonObject{{"memo", "x"}} << "更新版本文件获取失败" << "" << false;
        QTest::newRow("unparseable version") << QJsonObject{{"version", "1.x"}} << "更新版本文件获取失败" << ""
                                             << false;
        QTest::newRow("below the minimum") << QJsonObject{{"version", "3.0.0"}, {"low", "2.0.0"}} << ""
                                           << "版本过低，请下载安装最新客户端" << false;
        QTest::newRow("other platform")
            << QJsonObject{{"version", "1.2.0"}, {"low", "0.9.0"}, {"platform", "windows"}} << ""
            << "发现新版本 1.2.0，请下载安装最新客户端" << false;
        QTest::newRow("newer, still supported")
            << QJsonObject{{"version", "1.2.0"}, {"low", "0.9.0"}} << "" << "" << true;
    }

    void updateCheck()
    {
        QFETCH(QJsonObject, description);
        QFETCH(QString, error);
        QFETCH(QString, prompt);
        QFETCH(bool, dialog);
        writeUpdate(description);
        auto w = window();
        QString shown;
        rejectPrompt(&shown);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        const int before = server.requestCount(QStringLiteral("/client/update.json"));
        w->slotCheck2update();
        QTRY_VERIFY(server.requestCount(QStringLiteral("/client/update.json")) > before);
        if (dialog) {
            // the update dialog opens (and asks for the description itself)
            QTRY_VERIFY(w->findChild<VUpdate *>());
            QTRY_VERIFY(server.requestCount(QStringLiteral("/client/update.json")) > before + 1);
            QVERIFY(err.isEmpty());
            w->findChild<VUpdate *>()->reject();
        } else if (!prompt.isEmpty()) {
            QTRY_COMPARE(shown, prompt);
        } else if (!error.isEmpty()) {
            QTRY_COMPARE(texts(err), QStringList{error});
        } else {
            // give the reply time to arrive, then nothing may have been shown
            QTest::qWait(300);
            QVERIFY(err.isEmpty());
            QVERIFY(shown.isEmpty());
        }
    }

    void storeSetUpFailureIsShown()
    {
        auto w = window();
        QString shown;
        rejectPrompt(&shown);
        // what the per-user store sends once when file.db or syn.db cannot be set up
        emit db_self::instance()->signalInitError(QStringLiteral("数据库更新异常，请重启再试"));
        QTRY_COMPARE(shown, QStringLiteral("数据库更新异常，请重启再试"));
    }

    void shutdownWaitsForARunningTransfer()
    {
        auto w = window();
        VGlobalQueue *q = VGlobalQueue::instance();
        q->addUpload(77);
        q->addUpload(78);
        q->addUpload(79); // waits: dropped at once
        QSignalSpy waiting(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_waiting);
        QSignalSpy stopUp(VGlobalConnect::instance(), qOverload<>(&VGlobalConnect::signalStopUpload));
        QSignalSpy stopDown(VGlobalConnect::instance(), qOverload<>(&VGlobalConnect::signalStopDownload));
        QSignalSpy clear(VGlobalConnect::instance(), &VGlobalConnect::signalClearTasks);
        onModal([](QWidget *m) {
            if (auto *p = qobject_cast<VPrompt *>(m)) {
                p->accept();
                return true;
            }
            return false;
        });
        w->slotQuit(); // the setting asks first: answered OK
        QTRY_VERIFY(waiting.size() >= 2);
        QCOMPARE(waiting.first().at(0).toString(), QStringLiteral("传输任务暂停中，请稍后"));
        QCOMPARE(stopUp.size(), 1);
        QCOMPARE(stopDown.size(), 1);
        QCOMPARE(clear.size(), 1);
        QVERIFY(q->uploadWaiting().isEmpty());
        QVERIFY(quits.isEmpty());
        q->removeUpload(77);
        QCOMPARE(q->uploadWorking(), QList<int>{78}); // nothing promoted while closing
        QVERIFY(quits.isEmpty());
        q->removeUpload(78);
        QTRY_COMPARE(quits.size(), 1);
        QVERIFY(!quits.first());
    }

    void quitAsksWhileTransfersRun()
    {
        auto w = window();
        VGlobalQueue::instance()->addDownload(5);
        QString asked;
        rejectPrompt(&asked);
        w->slotQuit();
        QCOMPARE(asked, QStringLiteral("传输任务正在进行，确认关闭？"));
        QVERIFY(!w->isClosing());
        QVERIFY(quits.isEmpty());
        VGlobalQueue::instance()->clearDownloads();
        M_config::instance()->Normal_isAlertUndone = false;
        w->slotQuit(); // nothing running any more, nothing to ask
        QTRY_COMPARE(quits.size(), 1);
    }

    void signOutRestarts()
    {
        auto w = window();
        const int before = server.requestCount(QStringLiteral("/api/v1/user/info/loginout"));
        w->slotChangeDanwei();
        QTRY_COMPARE(quits, QList<bool>{true});
        QTRY_COMPARE(server.requestCount(QStringLiteral("/api/v1/user/info/loginout")), before + 1);
    }

    void changePasswordDialog_data()
    {
        QTest::addColumn<QString>("known"); // the password kept for the run
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("npwd");
        QTest::addColumn<QString>("npwd2");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::newRow("empty field") << "demo123" << "" << "a" << "a" << "请输入密码";
        QTest::newRow("repetition differs") << "demo123" << "demo123" << "a1" << "a2" << "两次密码输入不同";
        QTest::newRow("wrong current, caught here") << "demo123" << "nope" << "a1" << "a1" << "密码错误";
        QTest::newRow("wrong current, server decides") << "" << "nope" << "a1" << "a1" << "原密码错误";
    }

    void changePasswordDialog()
    {
        QFETCH(QString, known);
        QFETCH(QString, now);
        QFETCH(QString, npwd);
        QFETCH(QString, npwd2);
        QFETCH(QString, message);
        VLogin::setSessionPassword(known);
        UserInfo::instance()->password.clear();
        VChangePassword dlg;
        dlg.currentField()->setText(now);
        dlg.newField()->setText(npwd);
        dlg.confirmField()->setText(npwd2);
        dlg.okButton()->click();
        QTRY_VERIFY(dlg.message().contains(message));
        QVERIFY(dlg.result() != QDialog::Accepted);
        QTest::keyClicks(dlg.newField(), QStringLiteral("x"));
        QVERIFY(dlg.message().isEmpty());
    }

    void keyboardAndScreenReader()
    {
        auto w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QStringList bad = unnamedControls(w.get());
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
        for (const char *name : {"toolButton_setup", "toolButton_min", "toolButton_max", "toolButton_close"})
            QVERIFY2(!accessibleNameOf(w->findChild<QToolButton *>(QLatin1String(name))).isEmpty(), name);
        QCOMPARE(tabChain(w.get()).mid(0, 6), (QStringList{"pushButton_user", "toolButton_setup", "toolButton_min",
                                                           "toolButton_max", "toolButton_close", "listWidget"}));
        auto *menu = w->findChild<QMenu *>(QStringLiteral("menu_user"));
        QVERIFY(menu);
        bad = unnamedControls(menu);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));

        // every menu entry reads out its name; arrows and Return open a page
        auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
        int transfers = -1;
        for (int i = 0; i < list->count(); ++i) {
            const QString text = list->item(i)->data(Qt::AccessibleTextRole).toString();
            if (list->item(i)->flags() & Qt::ItemIsEnabled)
                QVERIFY2(!text.isEmpty(), qPrintable(QString::number(i)));
            if (text == VLeftmenuInfo::text(leftmenu_chuanshu))
                transfers = i;
        }
        QVERIFY(transfers > 0);
        list->setFocus();
        list->setCurrentRow(transfers);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(w->currentMenu(), int(leftmenu_chuanshu));

        VChangePassword dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        bad = unnamedControls(&dlg);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
        QCOMPARE(accessibleNameOf(dlg.currentField()), QStringLiteral("当前密码"));
        const QStringList chain = tabChain(&dlg);
        QCOMPARE(chain.mid(chain.indexOf(QStringLiteral("LineEdit_now")), 5),
                 (QStringList{"LineEdit_now", "LineEdit_new", "LineEdit_new2", "pushButton_cancle99", "pushButton_ok99"}));
    }

    void passwordChangeRestartsWithoutAMessage()
    {
        signIn(QStringLiteral("student"), QStringLiteral("student123"));
        VMain::timings().passwordRestart = 3000; // the sign-in check comes first
        auto w = window();
        onModal([](QWidget *m) {
            if (auto *d = qobject_cast<VChangePassword *>(m)) {
                d->currentField()->setText(QStringLiteral("student123"));
                d->newField()->setText(QStringLiteral("neu-456"));
                d->confirmField()->setText(QStringLiteral("neu-456"));
                saveShot(d, QStringLiteral("change-password.png"));
                d->okButton()->click();
                return true;
            }
            return false;
        });
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        w->slotChangePassword();
        QCOMPARE(texts(ok), QStringList{QStringLiteral("密码修改成功，需要重新登录")});
        QVERIFY(w->isPasswordChanged());
        QCOMPARE(VLogin::sessionPassword(), QStringLiteral("neu-456"));
        // the new password works; that sign-in replaces the session, and the
        // check that notices it leaves no message behind
        QVERIFY(!server.signIn(QStringLiteral("student"), QStringLiteral("neu-456")).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(quits, QList<bool>{true}, 5000);
        db_setting reread(db_setting::instance()->filePath());
        QCOMPARE(reread.lasterror, QString());
        // the timer of the password change still runs out: no second restart
        VMain::timings().passwordRestart = 100;
        QSignalSpy stopped(VGlobalConnect::instance(), qOverload<>(&VGlobalConnect::signalStopUpload));
        w->slotCloseApp();
        QCOMPARE(quits, QList<bool>{true});
        QCOMPARE(stopped.size(), 0);
    }

    // What the window shows at shutdown is where the next window starts; for
    // the disk view that includes the folder it hands the page.
    void lastViewSurvivesARestart_data()
    {
        QTest::addColumn<int>("menu");
        QTest::addColumn<QString>("path");     // opened before the shutdown
        QTest::addColumn<QString>("expected"); // handed to the disk view after it
        QTest::newRow("transfer list") << 14 << "" << "";
        QTest::newRow("favourites") << 9 << "" << "";
        QTest::newRow("disk view folder") << 0 << "/资料/2026'春/" << "/资料/2026'春/";
        QTest::newRow("disk view start folder") << 0 << "" << "/";
    }
    void lastViewSurvivesARestart()
    {
        QFETCH(int, menu);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        {
            auto w = window();
            QCOMPARE(w->currentMenu(), 0);
            w->slotClickLeftMenu(8, QVariant()); // a page in between
            w->slotClickLeftMenu(menu, path);
            QCOMPARE(w->currentMenu(), menu);
            // the disk view reports the folder it shows, once listed
            if (menu == 0)
                QTRY_COMPARE(w->page(0)->currentPath(), expected);
            w->slotQuit();
            QTRY_COMPARE(quits.size(), 1);
        }
        QJsonObject stored{{"leftmenu", menu}};
        if (menu == 0)
            stored.insert(QStringLiteral("path"), expected);
        QCOMPARE(db_self::instance()->getLastvisit(), stored);

        QSignalSpy clicks(VGlobalConnect::instance(), &VGlobalConnect::signalClickLeftMenu);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        auto next = window();
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks.first().at(0).toInt(), menu);
        QCOMPARE(clicks.first().at(1).value<QVariant>().toString(), expected);
        QCOMPARE(next->currentMenu(), menu);
        QVERIFY(next->menuItem(menu)->isSelected());
        if (menu == 0)
            QTRY_COMPARE(next->page(0)->currentPath(), expected);
        QVERIFY(err.isEmpty());
    }

    // Nothing usable remembered: the window starts on the disk view's start
    // folder, without an error.
    void lastViewFallsBackToTheDiskView_data()
    {
        QTest::addColumn<QString>("stored"); // the decrypted "lastvisit" text
        QTest::newRow("nothing") << "";
        QTest::newRow("empty object") << "{}";
        QTest::newRow("entry not in this menu") << R"({"leftmenu":15})";
        QTest::newRow("entry naming no page") << R"({"leftmenu":5,"path":"/x/"})";
        QTest::newRow("not JSON") << "leftmenu=14";
    }
    void lastViewFallsBackToTheDiskView()
    {
        QFETCH(QString, stored);
        QVERIFY(db_self::instance()->setOther(db_self::other_lastvisit, stored));
        QSignalSpy clicks(VGlobalConnect::instance(), &VGlobalConnect::signalClickLeftMenu);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        auto w = window();
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks.first().at(0).toInt(), 0);
        QCOMPARE(clicks.first().at(1).value<QVariant>().toString(), QString());
        QCOMPARE(w->currentMenu(), 0);
        QTRY_COMPARE(w->page(0)->currentPath(), QStringLiteral("/"));
        QVERIFY(err.isEmpty());
    }

    void framelessDragAndResize()
    {
        auto w = window();
        w->setGeometry(100, 100, 1000, 600);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto press = [&w](QPoint local) {
            QMouseEvent e(QEvent::MouseButtonPress, local, w->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(w.get(), &e);
        };
        auto move = [&w](QPoint local, QPoint globalStart, QPoint delta) {
            QMouseEvent e(QEvent::MouseMove, local + delta, globalStart + delta, Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(w.get(), &e);
        };
        auto release = [&w](QPoint local) {
            QMouseEvent e(QEvent::MouseButtonRelease, local, w->mapToGlobal(local), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(w.get(), &e);
        };
        // a drag in the title area moves the window
        const QPoint title(400, 40);
        QPoint g = w->mapToGlobal(title);
        const QPoint start = w->pos();
        press(title);
        move(title, g, QPoint(30, 20));
        release(title);
        QCOMPARE(w->pos(), start + QPoint(30, 20));

        // the bottom-right corner enlarges; shrinking stops at the minimum
        const QPoint corner(w->width() - 2, w->height() - 2);
        g = w->mapToGlobal(corner);
        press(corner);
        move(corner, g, QPoint(40, 30));
        release(corner);
        QCOMPARE(w->size(), QSize(1040, 630));
        const QPoint corner2(w->width() - 2, w->height() - 2);
        g = w->mapToGlobal(corner2);
        press(corner2);
        move(corner2, g, QPoint(-200, -200));
        release(corner2);
        QCOMPARE(w->size(), QSize(1000, 600));

        // maximised: the title area no longer drags
        w->on_toolButton_max_clicked();
        QTRY_VERIFY(w->width() > 1000 || w->isMaximized());
        const QRect maxed = w->geometry();
        g = w->mapToGlobal(title);
        press(title);
        move(title, g, QPoint(50, 50));
        release(title);
        QCOMPARE(w->geometry(), maxed);
        w->on_toolButton_max_clicked();
        QTRY_COMPARE(w->size(), QSize(1000, 600));
        saveShot(w.get(), QStringLiteral("main-normal.png"));
    }

    void closeWithoutTrayQuits()
    {
        auto w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        saveShot(w.get(), QStringLiteral("main-offscreen.png"));
        w->findChild<QToolButton *>(QStringLiteral("toolButton_close"))->click();
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QVERIFY(w->isHidden());
            QVERIFY(quits.isEmpty());
        } else {
            QTRY_COMPARE(quits.size(), 1);
        }
    }
};

QTEST_MAIN(TestVMain)
#include "tst_vmain.moc"
