// The recycle bin against the stand-in service with the demo tree: listing,
// search, client-side sort and paging, restore (back in place with its
// content, the clash question, the failure report), delete for good, acts
// told once, stale replies, bad replies, accessible names and escaping.
#include "huishouzhan/vhuishouzhan.h"
#include "huishouzhan/vhuishouzhan_err.h"
#include "huishouzhan/vhuishouzhan_isrename.h"
#include "huishouzhan/vhuishouzhan_item.h"
#include "VWidgets/vfileinfo.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vprompt.h"
#include "VWidgets/vsearchbar.h"

#include "Api/api.h"
#include "Api/vacttracker.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "lists/vpagedlist.h"
#include "transfer/vglobalconnect.h"
#include "accessibilitycheck.h"
#include "actpoll.h"
#include "listpagetest.h"
#include "testhome.h"
#include "testserver.h"
#include "testshot.h"
#include "uitestsetup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace ListPageTest;

class TstVHuishouzhan : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server{demoTree()};
    QString token;
    std::unique_ptr<ActPoll> poll;

    QJsonArray bin(const QString &key = QString())
    {
        return Api::toArray(Api::getData(server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", key}}, token)));
    }
    QJsonObject binEntry(const QString &name)
    {
        for (const QJsonValue &v : bin())
            if (v.toObject().value("filename").toString() == name)
                return v.toObject();
        return QJsonObject();
    }
    bool act(const QVariantMap &params) { return runAct(server, token, params); }
    static QString json(const QJsonArray &a) { return jsonText(a); }
    bool removeToBin(const QStringList &paths)
    {
        QJsonArray list;
        for (const QString &p : paths)
            list.append(p);
        return act({{"acttype", "Remove"}, {"filelist", json(list)}});
    }
    bool put(const QString &folder, const QString &name, const QByteArray &content)
    {
        const QString rel = folder.mid(QStringLiteral("/1001/sharedisk/").size());
        if (!rel.isEmpty() && !act({{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk"}, {"dirs", json({rel})}}))
            return false;
        return !server.uploadFile(token, folder, name, content).isEmpty();
    }
    std::unique_ptr<VHuishouzhan> makePage()
    {
        auto p = std::make_unique<VHuishouzhan>();
        p->resize(1100, 640);
        p->show();
        return p;
    }
    static QStringList shown(VHuishouzhan *p)
    {
        QStringList out;
        for (int i = 0; i < p->rowCount(); ++i)
            out << qobject_cast<VHuishouzhan_item *>(p->rowWidget(p->rowId(i)))->info().filename;
        return out;
    }
    static VHuishouzhan_item *row(VHuishouzhan *p, const QString &name)
    {
        for (int i = 0; i < p->rowCount(); ++i) {
            auto *r = qobject_cast<VHuishouzhan_item *>(p->rowWidget(p->rowId(i)));
            if (r && r->info().filename == name)
                return r;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        token = startDemo(server);
        QVERIFY(!token.isEmpty());
        poll = std::make_unique<ActPoll>();
    }
    void init() { server.clearFaults(); }

    void listsTheSeededEntries()
    {
        auto p = makePage();
        // the first fetch comes by itself shortly after the page is built
        QSignalSpy spy(p.get(), &VListPage::signalListed);
        QVERIFY(spy.wait(20000));
        QVERIFY(settled(p.get()));
        QStringList expected;
        for (const QJsonValue &v : bin())
            expected << v.toObject().value("filename").toString();
        QStringList names = shown(p.get());
        QCOMPARE(names.size(), 6);
        std::sort(expected.begin(), expected.end());
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, expected);
        QVERIFY(names.contains("废弃文件夹"));
        QVERIFY(p->grid()->pager()->isHidden());
        QVERIFY(!p->recoverButton()->isEnabled() && !p->clearButton()->isEnabled());
        // a row: its texts, its hover buttons and its folder link
        VHuishouzhan_item *r = row(p.get(), "旧资料1.docx");
        QVERIFY(r);
        QCOMPARE(r->pathLink()->toolTip(), QStringLiteral("/临时资料/"));
        QCOMPARE(r->findChild<QLabel *>("label_user")->text(), UserInfo::instance()->truename);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(r, &enter);
        QVERIFY(r->restoreButton()->isVisible() && r->deleteButton()->isVisible());
        QStringList bad = unnamedControls(p.get());
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        // Tab follows the layout: top bar, search, pane switch, then the grid and the pane
        QStringList tabs = tabChain(p.get());
        const int from = tabs.indexOf("pushButton_refresh");
        QVERIFY(from >= 0);
        tabs = tabs.mid(from) + tabs.mid(0, from); // the chain is a ring: read it from the top bar
        QCOMPARE(tabs.mid(0, 4), (QStringList{"pushButton_refresh", "lineEdit", "toolButton", "toolButton_shousuo"}));
        QVERIFY(tabs.indexOf("checkBox_all") > 3 && tabs.indexOf("checkBox_all") < tabs.indexOf("listWidget")
                && tabs.indexOf("listWidget") < tabs.indexOf("VFileInfo"));
        QSignalSpy menu(VGlobalConnect::instance(), &VGlobalConnect::signalClickLeftMenu);
        r->pathLink()->click();
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu.first().at(0).toInt(), 0);
        QCOMPARE(menu.first().at(1).toString(), QStringLiteral("/临时资料/"));
        // one selected row: count, buttons and the pane
        p->selectIds({r->id()});
        QCOMPARE(p->countLabel()->text(), QStringLiteral("已选中1个文件/文件夹"));
        QVERIFY(p->recoverButton()->isEnabled() && p->clearButton()->isEnabled());
        QVERIFY(p->fileInfo()->rowCount() >= 4);
        saveShot(p.get(), "recycle-bin.png");
    }

    void pagingSortAndSearch()
    {
        const QJsonObject tree =
            server.request("POST", server.rootUrl() + "__control/tree",
                           QJsonDocument(QJsonObject{{"path", "/1001/sharedisk/翻页"}, {"files", 101}, {"prefix", "pgx"}}).toJson(),
                           {{"Content-Type", "application/json"}})
                .json;
        QVERIFY(tree.value("ok").toBool());
        QStringList paths;
        for (const QJsonValue &v : listedPaths(server, token, "/1001/sharedisk/翻页"))
            paths << v.toString();
        QCOMPARE(paths.size(), 101);
        QVERIFY(removeToBin(paths));
        QCOMPARE(bin("pgx").size(), 101);

        auto p = makePage();
        QVERIFY(listed(p.get(), [&] {
            p->searchBar()->lineEdit()->setText("pgx");
            QTest::keyClick(p->searchBar()->lineEdit(), Qt::Key_Return);
        }));
        QCOMPARE(p->searchKey(), QStringLiteral("pgx"));
        VGrid_page *pager = p->grid()->pager();
        QVERIFY(!pager->isHidden());
        QCOMPARE(pager->pageCount(), 2);
        QCOMPARE(p->rowCount(), 100);
        const QStringList first = shown(p.get());
        // sorting and paging work on the list already fetched
        QSignalSpy asked(p.get(), &VListPage::signalListed);
        pager->goToPage(2);
        QVERIFY(settled(p.get()));
        QCOMPARE(p->rowCount(), 1);
        QVERIFY(!first.contains(shown(p.get()).first()));
        VGrid_head_item *size = p->grid()->findChildren<VGrid_head_item *>().value(2);
        QTest::mouseClick(size, Qt::LeftButton);
        QVERIFY(settled(p.get()));
        QCOMPARE(p->model()->sortKey(), QStringLiteral("filesize"));
        QCOMPARE(p->model()->page(), 2);
        QVERIFY(asked.isEmpty() && !p->isLoading()); // nothing asked of the server
        QTRY_VERIFY(p->findChildren<VHuishouzhan_item *>().size() <= 100);
        saveShot(p.get(), "recycle-bin-pager.png");

        // one deleted for good: 100 entries fit one page, no pager
        QVERIFY(act({{"acttype", "Del"}, {"filelist", json({bin("pgx100").first().toObject().value("id").toString()})}}));
        QVERIFY(listed(p.get(), [&] { p->slotSearch("pgx"); }));
        QCOMPARE(p->rowCount(), 100);
        QVERIFY(pager->isHidden());

        // refresh forgets the search, also in the box
        QVERIFY(listed(p.get(), [&] { p->refreshButton()->click(); }));
        QVERIFY(p->searchBar()->lineEdit()->text().isEmpty());
        QVERIFY(p->searchKey().isEmpty());
        QCOMPARE(p->model()->total(), bin().size());
        // leave the bin as the demo has it for the tests below
        QJsonArray ids;
        for (const QJsonValue &v : bin("pgx"))
            ids.append(v.toObject().value("id").toString());
        QVERIFY(act({{"acttype", "Del"}, {"filelist", json(ids)}}));
        QCOMPARE(bin("pgx").size(), 0);
    }

    void restoreOneBackWithItsContent()
    {
        const QJsonObject entry = binEntry("旧资料1.docx");
        QVERIFY(!entry.isEmpty());
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        QSignalSpy handled(p.get(), &VHuishouzhan::signalActHandled);
        // the row's own button selects that row alone and asks first
        QVERIFY(row(p.get(), "旧资料1.docx") && row(p.get(), "旧资料2.docx"));
        p->selectIds({row(p.get(), "旧资料2.docx")->id()});
        row(p.get(), "旧资料1.docx")->restoreButton()->click();
        QCOMPARE(p->selectedIds(), QStringList{entry.value("id").toString()});
        VPrompt *ask = visibleChild<VPrompt>(p.get(), "VPrompt_huanyuan");
        QVERIFY(ask);
        QCOMPARE(ask->label()->text(), QStringLiteral("确认还原选中的1项数据？"));
        QVERIFY(confirmPrompt(p.get(), "VPrompt_huanyuan"));
        QVERIFY(handled.wait(20000));
        QTRY_VERIFY(texts(ok).contains(QStringLiteral("成功还原1项数据")));
        const QJsonObject back = server.stat("/1001/sharedisk/临时资料/旧资料1.docx");
        QCOMPARE(back.value("sha256").toString(), entry.value("md5").toString());
        QVERIFY(binEntry("旧资料1.docx").isEmpty());
        // the list is fetched again after a success
        QTRY_VERIFY(!shown(p.get()).contains("旧资料1.docx"));
    }

    void clashAsksAndKeepsBoth()
    {
        const QJsonObject entry = binEntry("旧资料2.docx");
        QVERIFY(put("/1001/sharedisk/临时资料", "旧资料2.docx", "newer content"));
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QSignalSpy finished(p->tracker(), &VActTracker::signalFinished);
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        p->selectIds({entry.value("id").toString()});
        p->recoverButton()->click();
        QVERIFY(confirmPrompt(p.get(), "VPrompt_huanyuan"));
        VHuishouzhan_isrename *q = visibleChild<VHuishouzhan_isrename>(p.get());
        QVERIFY(q);
        QVERIFY(q->messageLabel()->text().contains("旧资料2.docx"));
        QVERIFY(ok.isEmpty()); // nothing went through yet: no success
        QStringList bad = unnamedControls(q);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        saveShot(q, "recycle-rename-question.png");
        const int acts = server.requestCount("/api/v1/wp/act/add");
        q->keepBothButton()->click();
        QTRY_COMPARE(finished.size(), 2);
        const QVariantMap followup = finished.at(1).at(1).toMap();
        QVERIFY(followup.value("followup").toBool());
        QCOMPARE(followup.value("ids").toStringList(), QStringList{entry.value("id").toString()});
        QCOMPARE(server.requestCount("/api/v1/wp/act/add"), acts + 1);
        QTRY_VERIFY(texts(ok).contains(QStringLiteral("成功还原1项数据")));
        QCOMPARE(server.stat("/1001/sharedisk/临时资料/旧资料2.docx").value("sha256").toString(),
                 TestServer::sha256Hex("newer content"));
        QCOMPARE(server.stat("/1001/sharedisk/临时资料/旧资料2(1).docx").value("sha256").toString(),
                 entry.value("md5").toString());
    }

    void mixedActListsExactlyTheFailure()
    {
        // a clash, one that goes through, and one whose folder is gone too
        QVERIFY(put("/1001/sharedisk/临时资料", "旧资料4.docx", "in the way"));
        QVERIFY(put("/1001/sharedisk/父目录", "子文件.txt", "child"));
        QVERIFY(removeToBin({"/1001/sharedisk/父目录/子文件.txt"}));
        QVERIFY(removeToBin({"/1001/sharedisk/父目录"}));
        const QStringList ids{binEntry("旧资料3.docx").value("id").toString(),
                              binEntry("旧资料4.docx").value("id").toString(),
                              binEntry("子文件.txt").value("id").toString()};
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QSignalSpy waiting(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_waiting);
        p->selectIds(ids);
        QCOMPARE(p->countLabel()->text(), QStringLiteral("已选中3个文件/文件夹"));
        p->recoverButton()->click();
        QVERIFY(confirmPrompt(p.get(), "VPrompt_huanyuan"));
        VHuishouzhan_err *report = visibleChild<VHuishouzhan_err>(p.get());
        QVERIFY(report);
        QCOMPARE(report->listWidget()->count(), 1);
        QVERIFY(report->listWidget()->item(0)->data(Qt::AccessibleTextRole).toString().startsWith("子文件.txt "));
        QVERIFY(texts(ok).isEmpty()); // a failure: the report, not a success toast
        QStringList bad = unnamedControls(report);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        saveShot(report, "recycle-failure-report.png");
        VHuishouzhan_isrename *q = visibleChild<VHuishouzhan_isrename>(p.get());
        QVERIFY(q);
        QVERIFY(q->messageLabel()->text().contains("旧资料4.docx"));
        QVERIFY(server.stat("/1001/sharedisk/临时资料/旧资料3.docx").contains("sha256"));
        waiting.clear();
        q->cancelButton()->click();
        QVERIFY(texts(err).contains(QStringLiteral("操作取消")));
        QVERIFY(waiting.isEmpty()); // nothing sent after a cancel
        QVERIFY(!binEntry("旧资料4.docx").isEmpty());
        QVERIFY(!binEntry("子文件.txt").isEmpty());
    }

    void deleteForGoodIsToldOnce()
    {
        const QString id = binEntry("旧资料5.docx").value("id").toString();
        QVERIFY(!id.isEmpty());
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        QSignalSpy handled(p.get(), &VHuishouzhan::signalActHandled);
        QSignalSpy finished(p->tracker(), &VActTracker::signalFinished);
        p->selectIds({id});
        // the Delete key asks as the row's button does
        p->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.get()));
        p->listWidget()->setFocus();
        QTest::keyClick(p->listWidget(), Qt::Key_Delete);
        QVERIFY(visibleChild<VPrompt>(p.get(), "VPrompt_qingkong"));
        visibleChild<VPrompt>(p.get(), "VPrompt_qingkong")->cancelButton()->click();
        row(p.get(), "旧资料5.docx")->deleteButton()->click();
        VPrompt *ask = visibleChild<VPrompt>(p.get(), "VPrompt_qingkong");
        QVERIFY(ask);
        QCOMPARE(ask->label()->text(), QStringLiteral("确认清空选中的1项数据？"));
        ask->okButton()->click();
        QVERIFY(handled.wait(20000));
        QCOMPARE(texts(ok), QStringList{"成功清理1项数据"});
        QVERIFY(binEntry("旧资料5.docx").isEmpty());
        // the act's record comes round again three times: nothing more happens
        const M_api_act done = finished.first().at(0).value<M_api_act>();
        const QJsonObject record{{"id", done.id}, {"status", 99}, {"act", 6},
                                 {"data", QString::fromUtf8(QJsonDocument(done.data).toJson())}};
        for (int i = 0; i < 3; ++i) {
            emit VGlobalConnect::instance()->signalWp_result(record);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QCOMPARE(handled.size(), 1);
        QCOMPARE(ok.size(), 1);
        QCOMPARE(p->tracker()->pendingCount(), 0);
        QVERIFY(!Api::instance()->actIds().contains(done.id));
    }

    void nothingSelectedSendsNothing()
    {
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QSignalSpy waiting(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_waiting);
        p->on_pushButton_recover_clicked();
        p->on_pushButton_clear_clicked();
        p->toHuanyuan2({}, true);
        QVERIFY(p->findChildren<VPrompt *>().isEmpty());
        QVERIFY(waiting.isEmpty());
    }

    void staleReplyLosesToTheNewerSearch()
    {
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QVERIFY(server.addFault("/api/v1/wp/file/getrecyclelist", "delay", 1500, 1));
        const int stale = p->staleReplyCount();
        p->slotSearch("旧资料");
        p->slotSearch("废弃");
        QTRY_COMPARE_WITH_TIMEOUT(p->staleReplyCount(), stale + 1, 20000);
        QVERIFY(settled(p.get()));
        QCOMPARE(shown(p.get()), QStringList{"废弃文件夹"});
    }

    void failedListIsEmptyWithTheMessage()
    {
        auto p = makePage();
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QVERIFY(server.addFault("/api/v1/wp/file/getrecyclelist", "code", 1, 1, {{"msg", "回收站暂不可用"}}));
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QVERIFY(listed(p.get(), [&] { p->reload(); }));
        QVERIFY(texts(err).contains(QStringLiteral("回收站暂不可用")));
        QCOMPARE(p->rowCount(), 0);
        QVERIFY(p->grid()->isEmptyShown());
    }

    void namesFromTheServerAreEscaped()
    {
        const QJsonArray failures{QJsonObject{{"id", "1"}, {"filename", "R&D <b>x</b>.txt"}, {"msg", "<i>坏</i>"}}};
        VHuishouzhan_err d(failures, "客户端", "127.0.0.1", "<script>");
        auto *label = qobject_cast<QLabel *>(d.listWidget()->itemWidget(d.listWidget()->item(0)));
        QVERIFY(label->text().contains("R&amp;D &lt;b&gt;x&lt;/b&gt;.txt"));
        QVERIFY(label->text().contains("&lt;i&gt;坏&lt;/i&gt;"));
        QVERIFY(d.findChild<QLabel *>("label_head")->text().contains("&lt;script&gt;"));
        VHuishouzhan_isrename q(QJsonArray{QJsonObject{{"id", "1"}, {"filename", "a&<b>.txt"}, {"msg", "<u>m</u>"}}});
        QVERIFY(q.messageLabel()->text().contains("a&amp;&lt;b&gt;.txt"));
        QVERIFY(!q.messageLabel()->text().contains("<u>"));
    }
};

QTEST_MAIN(TstVHuishouzhan)
#include "tst_vhuishouzhan.moc"
