// The local-backup page against the stand-in service, as the administrator:
// the configuration dialog's checks, switching the task on through the
// prompt, the row following the task, the log pages with at most one page
// of rows and history paging, the open buttons, and accessible names on
// every control. The local-sync frames are checked for names and
// navigation. With ORVEL_SHOTS set to a folder the pages are grabbed there.

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "Api/api.h"
#include "DB/db_self.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vprompt.h"
#include "backup/vbackuptask.h"
#include "bendibeifen/vbendibeifen.h"
#include "bendibeifen/vbendibeifen_config.h"
#include "bendibeifen/vbendibeifen_item.h"
#include "bendibeifen/vbendibeifen_log.h"
#include "bendibeifen/vbendibeifen_log_done.h"
#include "bendibeifen/vbendibeifen_log_done_item.h"
#include "bendibeifen/vbendibeifen_log_working.h"
#include "bendibeifen/vbendibeifen_main.h"
#include "benditongbu/vbenditongbu.h"
#include "benditongbu/vbenditongbu_list.h"
#include "benditongbu/vbenditongbu_list_item.h"
#include "benditongbu/vbenditongbu_log.h"
#include "benditongbu/vbenditongbu_main.h"
#include "config/switchcontrol.h"
#include "config/vconfig.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include "testshot.h"
#include "uitestsetup.h"
#include "accessibilitycheck.h"
#include "testhome.h"
#include "testserver.h"

namespace {

const QString kRoot = QStringLiteral("/1001/sharedisk");

void shot(QWidget *w, const QString &name)
{
    saveShot(w, name + QStringLiteral(".png"));
}

// Every control and list row a screen reader would announce has a name.
QStringList unnamed(QWidget *root)
{
    return unnamedControls(root);
}

} // namespace

class TstBendibeifen : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server;
    QString token;
    QTemporaryDir tmp;
    QString root;
    std::unique_ptr<db_self> store;
    std::unique_ptr<VBendibeifen_main> page;
    QList<QString> errors;

    VBackupTask *task() const { return page->task(); }
    VBendibeifen_item *row() const { return page->taskPage()->item(); }

    // The prompt the row has open, answered with its OK or cancel button.
    void answer(bool ok)
    {
        QTRY_VERIFY(row()->openPrompt() && row()->openPrompt()->isVisible());
        VPrompt *p = row()->openPrompt();
        QTest::mouseClick(ok ? p->okButton() : p->cancelButton(), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
        token = server.signIn(QStringLiteral("admin"), QStringLiteral("admin123"));
        QVERIFY(!token.isEmpty());
        Api::instance()->setToken(token);
        UserInfo::instance()->schoolid = 1001;
        root = tmp.path() + QStringLiteral("/备份");
        QVERIFY(QDir().mkpath(root));
        store.reset(new db_self(tmp.path() + QStringLiteral("/user")));
        connect(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err, this,
                [this](const QString &m) { errors << m; });
        // more files than one page of rows holds
        QString err;
        for (int i = 0; i < 130; ++i)
            QVERIFY2(!server.uploadFile(token, kRoot, QStringLiteral("文件&amp;%1.txt").arg(i, 3, 10, QLatin1Char('0')),
                                        QByteArray::number(i).repeated(i + 1), 0, &err)
                          .isEmpty(),
                     qPrintable(err));
        QVERIFY(!server.uploadFile(token, kRoot, QStringLiteral("大文件.bin"), QByteArray(4 * 1024 * 1024, 'x'), 0, &err)
                     .isEmpty());
        auto *t = new VBackupTask(1, store.get());
        t->setSchool(QStringLiteral("1001"));
        t->setStoreFlushMs(50);
        t->load();
        page.reset(new VBendibeifen_main(t, nullptr));
        page->resize(1000, 560);
        page->show();
    }

    void cleanupTestCase()
    {
        page.reset();
    }

    void freshRow()
    {
        QCOMPARE(row()->statusLabel()->text(), QStringLiteral("未开启"));
        QCOMPARE(row()->intervalLabel()->text(), QStringLiteral("1小时"));
        QCOMPARE(row()->lastLabel()->text(), QStringLiteral("暂未开始"));
        QVERIFY(!row()->toggle()->isToggled());
        QVERIFY2(unnamed(page.get()).isEmpty(), qPrintable(unnamed(page.get()).mid(0, 5).join(QLatin1Char('\n'))));
        shot(page.get(), QStringLiteral("backup-page-off"));
    }

    void switchingOnWithoutFolderIsRefused()
    {
        errors.clear();
        QTest::mouseClick(row()->toggle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(errors, QStringList{QStringLiteral("目录配置有误")});
        QVERIFY(!row()->toggle()->isToggled());
        QCOMPARE(task()->status(), int(VBackupTask::Off));
    }

    void configDialogChecks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty folder") << QString() << "60" << QStringLiteral("目录不存在");
        QTest::newRow("missing folder") << "/nonexistent/备份" << "60" << QStringLiteral("目录不存在");
        QTest::newRow("zero minutes") << "@root" << "0" << QStringLiteral("间隔时间至少1分钟");
        QTest::newRow("30 days") << "@root" << "43200" << QStringLiteral("间隔时间建议为每天或每小时1次");
        QTest::newRow("just below 30 days") << "@root" << "43199" << QString();
    }
    void configDialogChecks()
    {
        QFETCH(QString, path);
        QFETCH(QString, minutes);
        QFETCH(QString, message);
        QTest::mouseClick(row()->configButton(), Qt::LeftButton);
        VBendibeifen_config *d = nullptr;
        QTRY_VERIFY((d = page->findChild<VBendibeifen_config *>()));
        QPointer<VBendibeifen_config> guard(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("公共网盘备份配置"));
        QVERIFY2(unnamed(d).isEmpty(), qPrintable(unnamed(d).mid(0, 5).join(QLatin1Char('\n'))));
        d->pathEdit()->setText(path == QLatin1String("@root") ? root : path);
        d->minutesEdit()->setText(minutes);
        if (message.isEmpty())
            shot(d, QStringLiteral("backup-config-dialog"));
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        if (!message.isEmpty()) {
            QVERIFY2(d->message().contains(message), qPrintable(d->message()));
            QVERIFY(d->isVisible());
            d->reject();
        } else {
            QTRY_VERIFY(!d->isVisible());
            QCOMPARE(task()->config().localpath, root);
            QCOMPARE(task()->config().time, 43199);
            QCOMPARE(row()->intervalLabel()->text(), QStringLiteral("29天"));
            QCOMPARE(row()->pathLabel()->toolTip(), root);
        }
        QTRY_VERIFY(guard.isNull()); // closed dialogs go
    }

    void switchOnAndBackUpNow()
    {
        QSignalSpy done(task(), &VBackupTask::signalPassFinished);
        QTest::mouseClick(row()->toggle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTRY_VERIFY(row()->openPrompt());
        QVERIFY2(unnamed(row()->openPrompt()).isEmpty(), qPrintable(unnamed(row()->openPrompt()).mid(0, 5).join(QLatin1Char('\n'))));
        shot(row()->openPrompt(), QStringLiteral("backup-switch-prompt"));
        answer(true);
        QVERIFY(row()->toggle()->isToggled());
        // the row follows the task while it works
        QTRY_VERIFY(row()->statusLabel()->text() == QStringLiteral("请求数据")
                    || row()->statusLabel()->text() == QStringLiteral("备份中") || done.size() > 0);
        // the working log never shows more than one page of rows
        page->taskPage()->countButton()->click();
        QCOMPARE(page->currentWidget(), page->logPage());
        VBendibeifen_log_working *working = page->logPage()->working();
        int most = 0;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     most = qMax(most, working->rowCount());
                                     if (working->rowCount() > 20 && qEnvironmentVariableIsSet("ORVEL_SHOTS")
                                         && !property("shotTaken").toBool()) {
                                         setProperty("shotTaken", true);
                                         shot(page.get(), QStringLiteral("backup-log-working"));
                                     }
                                     return done.size() > 0;
                                 }()),
                                 120000);
        QVERIFY(most <= VBendibeifen_log_working::kPageSize);
        QTRY_COMPARE(row()->statusLabel()->text(), QStringLiteral("暂无任务"));
        QVERIFY(row()->lastLabel()->text() != QStringLiteral("暂未开始"));
        // every file byte for byte
        QCOMPARE(VUtils::fileSha256(root + QStringLiteral("/文件&amp;129.txt")),
                 TestServer::sha256Hex(QByteArray::number(129).repeated(130)));
        QCOMPARE(VUtils::fileSha256(root + QStringLiteral("/大文件.bin")),
                 TestServer::sha256Hex(QByteArray(4 * 1024 * 1024, 'x')));
        QTRY_COMPARE(working->rowCount(), 0);
        QCOMPARE(working->countLabel()->text(), QStringLiteral("共计0个任务处理中"));
    }

    void donePagesHoldEveryFile()
    {
        VBendibeifen_log *log = page->logPage();
        QTest::mouseClick(log->doneTab(), Qt::LeftButton);
        VBendibeifen_log_done *done = log->done();
        QTRY_COMPARE(done->page().total, 131);
        QCOMPARE(done->page().pagecount, 2);
        QCOMPARE(done->grid()->listWidget()->count(), 100);
        shot(page.get(), QStringLiteral("backup-log-done"));
        QVERIFY2(unnamed(page.get()).isEmpty(), qPrintable(unnamed(page.get()).mid(0, 5).join(QLatin1Char('\n'))));
        // server names are shown as text, not markup
        auto *first = qobject_cast<VBendibeifen_log_done_item *>(
            done->grid()->listWidget()->itemWidget(done->grid()->listWidget()->item(0)));
        QVERIFY(first);
        QVERIFY(first->accessibleName().contains(QStringLiteral("&amp;")) || first->accessibleName().endsWith(QLatin1String(".bin")));
        for (QLabel *l : first->findChildren<QLabel *>())
            if (l->text().contains(QStringLiteral("&amp;")))
                QCOMPARE(l->textFormat(), Qt::PlainText);
        done->grid()->pager()->goToPage(2);
        QTRY_COMPARE(done->grid()->listWidget()->count(), 31);
        QCOMPARE(done->page().pageindex, 2);
        // a copy that is gone reports it
        errors.clear();
        const QString local = first->history().localpath;
        QVERIFY(QFile::exists(local));
        // the open-file button on a removed copy
        QVERIFY(QFile::rename(local, local + QStringLiteral(".moved")));
        first->on_toolButton_file_clicked();
        QCOMPARE(errors.value(0), QStringLiteral("文件不存在"));
        QVERIFY(QFile::rename(local + QStringLiteral(".moved"), local));
        // clearing the history
        QTest::mouseClick(done->clearButton(), Qt::LeftButton);
        QCOMPARE(done->page().total, 0);
        QVERIFY(done->grid()->isEmptyShown());
        QTest::mouseClick(log->backButton(), Qt::LeftButton);
        QCOMPARE(page->currentWidget(), page->taskPage());
        shot(page.get(), QStringLiteral("backup-page-idle"));
    }

    void switchingOffStopsThePoll()
    {
        QTest::mouseClick(row()->toggle(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        QCOMPARE(task()->status(), int(VBackupTask::Off));
        QCOMPARE(row()->statusLabel()->text(), QStringLiteral("未开启"));
        QCOMPARE(task()->nextPollInMs(), qint64(-1));
        const M_bak_config stored = M_bak_config::fromStore(store->getAdminbak(), 1);
        QVERIFY(!stored.isopen);
        QCOMPARE(stored.localpath, root);
    }

    void localSyncFrames()
    {
        VBenditongbu_main sync;
        sync.resize(1000, 560);
        sync.show();
        QVERIFY2(unnamed(&sync).isEmpty(), qPrintable(unnamed(&sync).mid(0, 5).join(QLatin1Char('\n'))));
        shot(&sync, QStringLiteral("sync-page"));
        QTest::mouseClick(sync.listPage()->findChild<QAbstractButton *>(QStringLiteral("pushButton_log")),
                          Qt::LeftButton);
        QCOMPARE(sync.currentWidget(), sync.logPage());
        QVERIFY2(unnamed(&sync).isEmpty(), qPrintable(unnamed(&sync).mid(0, 5).join(QLatin1Char('\n'))));
        sync.logPage()->showTab(1);
        shot(&sync, QStringLiteral("sync-log"));
        QTest::mouseClick(sync.logPage()->backButton(), Qt::LeftButton);
        QCOMPARE(sync.currentWidget(), sync.listPage());
    }
};

QTEST_MAIN(TstBendibeifen)
#include "tst_bendibeifen.moc"
