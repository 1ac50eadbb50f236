// The favourites, recent and share-links pages against the stand-in service
// with the demo tree: lists, client-side sort and paging, entries of files
// moved to the recycle bin (badge, refused operations, no transfer, the
// detail pane cleared, "取消收藏" still works), folder visits, path links,
// downloads through the disk view's own path, the hub's reload signal and
// accessible names.
#include "gonggongwangpan/vgonggongwangpan.h"
#include "wodelianjie/vwodelianjie.h"
#include "wodeshoucang/vwodeshoucang.h"
#include "wodeshoucang/vwodeshoucang_item.h"
#include "zuijinfangwen/vzuijinfangwen.h"
#include "zuijinfangwen/vzuijinfangwen_item.h"
#include "VWidgets/vfileinfo.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vprompt.h"

#include "Api/api.h"
#include "DB/db_self.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "lists/vpagedlist.h"
#include "records/m_config.h"
#include "task/vglobaltask.h"
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
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace ListPageTest;

class TstVWodeshoucang : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server{demoTree()};
    QString token;
    QTemporaryDir downloads;
    std::unique_ptr<ActPoll> poll;

    QJsonArray favourites()
    {
        return Api::toArray(Api::getData(server.call("api/v1/wp/favourite/list", {}, token)));
    }
    QJsonArray visits()
    {
        return Api::getData(server.call("api/v1/wp/visit/list", {}, token)).toObject().value("list").toArray();
    }
    bool act(const QVariantMap &params) { return runAct(server, token, params); }
    static QString json(const QJsonArray &a) { return jsonText(a); }
    static bool listed(VListPage *p) { return ListPageTest::listed(p, [p] { p->reload(); }); }
    // A file of its own for a test: uploaded, favourited and previewed once.
    QString favouriteAndVisit(const QString &name)
    {
        const QString id = server.uploadFile(token, "/1001/sharedisk/共享文档", name, name.toUtf8());
        if (id.isEmpty())
            return QString();
        server.call("api/v1/wp/favourite/add", {{"filelist", json({id})}}, token);
        server.request("GET", server.rootUrl() + QStringLiteral("web/preview/file?fileid=%1&tk=%2").arg(id, token));
        return id;
    }
    static QStringList names(VListPage *p)
    {
        QStringList out;
        for (int i = 0; i < p->rowCount(); ++i)
            out << p->listWidget()->item(i)->data(Qt::AccessibleTextRole).toString();
        return out;
    }
    static QString rowOf(VListPage *p, const QString &name)
    {
        for (int i = 0; i < p->rowCount(); ++i)
            if (p->listWidget()->item(i)->data(Qt::AccessibleTextRole).toString() == name)
                return p->rowId(i);
        return QString();
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        token = startDemo(server);
        QVERIFY(!token.isEmpty());
        M_config::instance()->reset();
        M_config::instance()->Transfer_default_path = downloads.path();
        QVERIFY(db_self::instance()->isReady());
        poll = std::make_unique<ActPoll>();
    }
    void init() { server.clearFaults(); }

    void favouritesSortedAndPagedInTheClient()
    {
        VWodeshoucang p;
        p.resize(1100, 640);
        p.show();
        QVERIFY(listed(&p));
        QStringList expected;
        for (const QJsonValue &v : favourites())
            expected << v.toObject().value("filename").toString();
        QCOMPARE(p.rowCount(), expected.size());
        QStringList shown = names(&p);
        std::sort(shown.begin(), shown.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(shown, expected);
        QStringList bad = unnamedControls(&p);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        saveShot(&p, "favourites.png");

        // 101 more: two pages; sort and page change ask nothing
        const QJsonObject tree =
            server.request("POST", server.rootUrl() + "__control/tree",
                           QJsonDocument(QJsonObject{{"path", "/1001/sharedisk/收藏夹"}, {"files", 101}, {"prefix", "fav"}}).toJson(),
                           {{"Content-Type", "application/json"}})
                .json;
        QVERIFY(tree.value("ok").toBool());
        QJsonArray paths;
        paths = listedPaths(server, token, "/1001/sharedisk/收藏夹", "id");
        QCOMPARE(paths.size(), 101);
        QCOMPARE(Api::getCode(server.call("api/v1/wp/favourite/add", {{"filelist", json(paths)}}, token)), 0);
        QSignalSpy reloaded(&p, &VListPage::signalListed);
        emit VGlobalConnect::instance()->signal2getFavList(); // another page changed the favourites
        QVERIFY(reloaded.wait(20000));
        QVERIFY(settled(&p));
        const int total = favourites().size();
        QCOMPARE(p.model()->total(), total);
        QVERIFY(!p.grid()->pager()->isHidden());
        QSignalSpy asked(&p, &VListPage::signalListed);
        const QList<VGrid_head_item *> heads = p.grid()->findChildren<VGrid_head_item *>();
        const char *keys[] = {"filename", "addtime", "filepath"};
        for (int c = 0; c < 3; ++c) {
            QTest::mouseClick(heads.at(c), Qt::LeftButton);
            QVERIFY(settled(&p));
            QCOMPARE(p.model()->sortKey(), QString::fromLatin1(keys[c]));
        }
        p.grid()->pager()->goToPage(2);
        QVERIFY(settled(&p));
        QCOMPARE(p.rowCount(), total - 100);
        // nothing was asked of the server meanwhile
        QVERIFY(asked.isEmpty() && !p.isLoading());
        QCOMPARE(Api::getCode(server.call("api/v1/wp/favourite/del", {{"filelist", json(paths)}}, token)), 0);
    }

    void fileMovedToTheBin()
    {
        const QString id = favouriteAndVisit("将删除的笔记.txt");
        QVERIFY(!id.isEmpty());
        QVERIFY(act({{"acttype", "Remove"}, {"filelist", json({"/1001/sharedisk/共享文档/将删除的笔记.txt"})}}));

        VWodeshoucang fav;
        fav.resize(1100, 640);
        fav.show();
        QVERIFY(listed(&fav));
        auto *frow = qobject_cast<VWodeshoucang_item *>(fav.rowWidget(id));
        QVERIFY(frow);
        QVERIFY(frow->badge() && frow->badge()->text() == QStringLiteral(" 已删除"));
        // the pane is cleared with the error, never left on the previous row
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        const QString other = fav.rowId(0) == id ? fav.rowId(1) : fav.rowId(0);
        fav.selectIds({other});
        QTRY_VERIFY(fav.fileInfo()->rowCount() >= 3);
        fav.selectIds({id});
        QTRY_VERIFY(texts(err).contains(QStringLiteral("文件不存在")));
        QCOMPARE(fav.fileInfo()->rowCount(), 1); // the failure note only

        VZuijinfangwen recent;
        recent.resize(1100, 640);
        recent.show();
        QVERIFY(listed(&recent));
        const QString rid = rowOf(&recent, "将删除的笔记.txt");
        QVERIFY(!rid.isEmpty());
        auto *vrow = qobject_cast<VZuijinfangwen_item *>(recent.rowWidget(rid));
        QVERIFY(vrow->badge());
        saveShot(&recent, "recent-deleted.png");
        // preview, download and edit refuse it; nothing reaches the transfers
        QSignalSpy ops(VGlobalConnect::instance(), &VGlobalConnect::signalFileOp);
        QSignalSpy adds(VGlobalConnect::instance(), &VGlobalConnect::signalDbselfAddFiles);
        err.clear();
        recent.selectIds({rid});
        recent.slot2View();
        recent.slot2Down();
        recent.slot2Localedit();
        recent.slotItemDoubleClick(vrow->listItem());
        vrow->downloadButton()->click();
        QVERIFY(texts(err).contains(QStringLiteral("文件已删除，无法预览")));
        QVERIFY(texts(err).contains(QStringLiteral("文件已删除，无法下载")));
        QVERIFY(texts(err).contains(QStringLiteral("文件已删除，无法编辑")));
        QVERIFY(ops.isEmpty());
        QVERIFY(adds.isEmpty());
        // its menu offers none of them
        vrow->moreButton()->click();
        QVERIFY(recent.contextMenu());
        for (QAction *a : recent.contextMenu()->actions())
            QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
        recent.contextMenu()->close();

        // "取消收藏" still works for it
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        QSignalSpy cancelled(&fav, &VWodeshoucang::signalCancelled);
        frow->cancelButton()->click();
        QVERIFY(confirmPrompt(&fav, "VPrompt_quxiaoshoucang"));
        QVERIFY(cancelled.wait(20000));
        QCOMPARE(cancelled.first().at(0).toBool(), true);
        QVERIFY(texts(ok).contains(QStringLiteral("取消收藏成功")));
        for (const QJsonValue &v : favourites())
            QVERIFY(v.toObject().value("fileid").toString() != id);
        QTRY_VERIFY(!fav.rowWidget(id) && settled(&fav));
    }

    void recentRowsAndTheirOperations()
    {
        const QString id = favouriteAndVisit("最近的讲义.txt");
        QVERIFY(!id.isEmpty());
        // a folder visit: browsing a folder is recorded too
        server.call("api/v1/wp/file/getlist", {{"filepath", "/1001/sharedisk/共享文档"}, {"visitlog", "1"}}, token);
        VGonggongwangpan disk; // the download path the recent page hands over to
        VZuijinfangwen recent;
        recent.resize(1100, 640);
        recent.show();
        QVERIFY(listed(&recent));
        QCOMPARE(recent.model()->total(), visits().size());
        QCOMPARE(recent.listWidget()->item(0)->data(Qt::AccessibleTextRole).toString(), visits().first().toObject().value("filename").toString());
        QStringList bad = unnamedControls(&recent);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));

        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QSignalSpy ops(VGlobalConnect::instance(), &VGlobalConnect::signalFileOp);
        const QString folder = rowOf(&recent, "共享文档");
        QVERIFY(!folder.isEmpty());
        recent.selectIds({folder});
        recent.slot2View();
        recent.slot2Localedit();
        QCOMPARE(texts(err), (QStringList{"文件夹不支持在线预览", "文件夹不支持本地编辑"}));
        QVERIFY(ops.isEmpty());

        // the path link opens the folder that holds the file
        const QString file = rowOf(&recent, "最近的讲义.txt");
        auto *row = qobject_cast<VZuijinfangwen_item *>(recent.rowWidget(file));
        QSignalSpy menu(VGlobalConnect::instance(), &VGlobalConnect::signalClickLeftMenu);
        row->pathLink()->click();
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu.first().at(1).toString(), QStringLiteral("/共享文档/"));

        // the details of a live file
        recent.selectIds({file});
        QTRY_VERIFY(recent.fileInfo()->rowCount() >= 4);
        saveShot(&recent, "recent.png");

        // a double click hands the file to the global task for its preview
        err.clear();
        recent.slotItemDoubleClick(row->listItem());
        QVERIFY(err.isEmpty());
        QCOMPARE(ops.size(), 1);
        QCOMPARE(ops.first().at(0).value<enum_fileoptype>(), fileop_viewonline);
        QCOMPARE(VGlobalTask::fileIdOf(ops.first().at(1)), id);
        ops.clear();

        // download goes the disk view's way into the transfer log
        QSignalSpy counted(&disk, &VGonggongwangpan::signalBatchCounted);
        row->downloadButton()->click();
        QVERIFY(counted.wait(20000));
        QCOMPARE(counted.first().at(0).toString(), QStringLiteral("download"));
        QCOMPARE(counted.first().at(1).toInt(), 1);
        QCOMPARE(ops.first().at(0).value<enum_fileoptype>(), fileop_download);

        // local editing is handed to the disk view's edit entry with the file
        ops.clear();
        recent.selectIds({file});
        recent.slot2Localedit();
        QTRY_COMPARE(ops.size(), 1);
        QCOMPARE(ops.first().at(0).value<enum_fileoptype>(), fileop_editlocal);
        QCOMPARE(ops.first().at(1).toMap().value("item").value<M_fileinfo>().id, id);
    }

    void linksPageShowsItsFrame()
    {
        VWodelianjie p;
        p.resize(1000, 500);
        p.show();
        QTRY_VERIFY(p.grid()->isEmptyShown());
        QVERIFY(!p.cancelButton()->isEnabled());
        p.setLinks({{"1", "期末复习资料.pdf", "pdf", false, "2026-12-31", 12, "公共网盘/教学资源/"},
                    {"2", "班级照片", "", true, "永久有效", 3, "公共网盘/图片素材/"}});
        QTRY_COMPARE(p.rowCount(), 2);
        QVERIFY(settled(&p));
        p.selectIds({"2"});
        QVERIFY(p.cancelButton()->isEnabled());
        QCOMPARE(p.countLabel()->text(), QStringLiteral("已选中1个文件/文件夹"));
        QStringList bad = unnamedControls(&p);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        saveShot(&p, "links.png");
    }
};

QTEST_MAIN(TstVWodeshoucang)
#include "tst_vwodeshoucang.moc"
