// The public-disk page against the stand-in service: listing, sorting and
// paging, the rights the toolbar follows, search, the file operations with
// their dialogs, downloads into the transfer log, favourites, drops of local
// trees, keyboard, accessible names and escaping of server text.
#include "gonggongwangpan/vgonggongwangpan.h"
#include "gonggongwangpan/vgonggongwangpan_createdirs.h"
#include "gonggongwangpan/vgonggongwangpan_dragout.h"
#include "gonggongwangpan/vgonggongwangpan_errmove.h"
#include "gonggongwangpan/vgonggongwangpan_flow.h"
#include "gonggongwangpan/vgonggongwangpan_isrename.h"
#include "gonggongwangpan/vgonggongwangpan_list.h"
#include "gonggongwangpan/vgonggongwangpan_list_item.h"
#include "gonggongwangpan/vgonggongwangpan_seldir.h"
#include "login/vlogin.h"
#include "VWidgets/vaddressbar.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vfileinfo.h"
#include "VWidgets/vusericonlist.h"
#include "VWidgets/vopbar.h"
#include "VWidgets/vprompt.h"
#include "VWidgets/vsearchbar.h"

#include "Api/api.h"
#include "Api/vacttracker.h"
#include "DB/db_self.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "context/vglobalresource.h"
#include "task/vglobaltask.h"
#include "disk/vdisklist.h"
#include "utils/vjsonsort.h"
#include "utils/vutils.h"
#include "records/m_config.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "actpoll.h"
#include "testhome.h"
#include "testserver.h"
#include "accessibilitycheck.h"
#include "testshot.h"
#include "uitestsetup.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QDrag>
#include <QFileInfo>
#include <QMouseEvent>
#include <QtTest>
#include <memory>

#include <sys/stat.h>

class TstVGonggongwangpan : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server{options(100)};
    QString token;
    QTemporaryDir downloads;
    std::unique_ptr<ActPoll> poll;

    static TestServer::Options options(int delay)
    {
        TestServer::Options o;
        o.seedDemo = true;
        o.actDelayMs = delay;
        return o;
    }
    void signIn(TestServer &srv, const QString &user, const QString &password)
    {
        VGlobalParameter::instance()->setServerRoot(srv.rootUrl());
        UserInfo::instance()->clear();
        token = srv.signIn(user, password);
        QVERIFY2(!token.isEmpty(), qPrintable(user));
        Api::instance()->setToken(token);
        const QJsonObject info = srv.call(QStringLiteral("api/v1/user/info/GetLoginInfo"), {}, token, false);
        QVERIFY(Api::instance()->setUserInfo(Api::getData(info).toObject()));
        UserInfo::instance()->username = user;
    }
    QJsonObject seed(const QString &path, int files, int dirs = 0)
    {
        const QJsonObject body{{"path", path}, {"files", files}, {"dirs", dirs}};
        return server.request("POST", server.rootUrl() + "__control/tree", QJsonDocument(body).toJson(),
                              {{"Content-Type", "application/json"}})
            .json;
    }
    // Uploads a file, creating its folder (below the disk root) first.
    bool put(const QString &folder, const QString &name, const QByteArray &content)
    {
        const QString rel = folder.mid(QStringLiteral("/1001/sharedisk").size());
        if (!rel.isEmpty() && rel != QLatin1String("/")) {
            const QString dirs = QString::fromUtf8(QJsonDocument(QJsonArray{rel.mid(1)}).toJson());
            const QString id = server.call("api/v1/wp/act/add",
                                           {{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk"}, {"dirs", dirs}}, token)
                                   .value("data").toObject().value("evtid").toString();
            if (id.isEmpty() || server.waitAct(token, id).value("status").toInt() != 99)
                return false;
        }
        QString error;
        const bool ok = !server.uploadFile(token, folder, name, content, 0, &error).isEmpty();
        if (!ok)
            qWarning() << "upload failed" << folder << name << error;
        return ok;
    }
    std::unique_ptr<VGonggongwangpan> makePage()
    {
        auto p = std::make_unique<VGonggongwangpan>();
        p->resize(1100, 700);
        return p;
    }
    // Lists a display path and waits until its page is on screen.
    bool open(VGonggongwangpan *p, const QString &path)
    {
        QSignalSpy listed(p, &VGonggongwangpan::signalListed);
        p->openPath(path);
        if (!listed.wait(20000))
            return false;
        return settled(p);
    }
    static bool settled(VGonggongwangpan *p)
    {
        return QTest::qWaitFor(
            [p] { return !p->model()->isSorting() && !p->listView()->isBuilding() && !p->isLoading(); }, 20000);
    }
    // Waits for the next finished act of the page and the listing after it.
    static bool actDone(VGonggongwangpan *p, QSignalSpy &handled)
    {
        if (handled.isEmpty() && !handled.wait(20000))
            return false;
        return settled(p);
    }
    static QStringList shownNames(VGonggongwangpan *p)
    {
        QStringList n;
        for (int i = 0; i < p->listView()->rowCount(); ++i)
            n << p->listView()->row(i)->info().filename;
        return n;
    }
    QJsonArray serverList(const QString &path)
    {
        return server.call("api/v1/wp/file/getlist", {{"filepath", path}}, token).value("data").toObject().value("list").toArray();
    }
    QStringList serverNames(const QString &path)
    {
        QStringList n;
        for (const QJsonValue &v : serverList(path))
            n << v.toObject().value("filename").toString();
        return n;
    }
    static void select(VGonggongwangpan *p, const QStringList &names)
    {
        QListWidget *l = p->listView()->listWidget();
        l->clearSelection();
        for (int i = 0; i < p->listView()->rowCount(); ++i)
            if (names.contains(p->listView()->row(i)->info().filename))
                l->item(i)->setSelected(true);
    }
    // Dialogs close themselves for good (deleted on close): keep a guard.
    template <typename T>
    static QPointer<T> openDialog(QWidget *p)
    {
        T *found = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (T *d : p->findChildren<T *>())
                    if (d->isVisible())
                        found = d;
                return found != nullptr;
            },
            20000);
        return found;
    }
    static void shot(QWidget *w, const QString &name) { saveShot(w, name); }
    static QStringList texts(const QSignalSpy &spy)
    {
        QStringList out;
        for (const QList<QVariant> &a : spy)
            out << a.at(0).toString();
        return out;
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        Api::instance()->setRestartHandler([](const QString &) {});
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        signIn(server, "demo", "demo123");
        M_config::instance()->reset();
        M_config::instance()->Transfer_default_path = downloads.path();
        QVERIFY(db_self::instance()->isReady());
        poll = std::make_unique<ActPoll>();
    }

    void init()
    {
        server.clearFaults();
        VGlobalParameter::instance()->setIsUploadPreparing(false);
        VGlobalParameter::instance()->setIsRenaming(false);
    }

    void listingPagesAndViews()
    {
        QVERIFY(seed("/1001/sharedisk/分页", 250).value("ok").toBool());
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/分页/"));
        QCOMPARE(p->addressBar()->currentPath(), QStringLiteral("/分页/"));
        QCOMPARE(p->currentFolder().fullpath, QStringLiteral("/1001/sharedisk/分页"));
        VGrid_page *pager = p->listView()->grid()->pager();
        QCOMPARE(pager->pageCount(), 3);
        QStringList all;
        for (int page : {1, 2, 3}) {
            pager->goToPage(page);
            QVERIFY(settled(p.get()));
            const int expected = page == 3 ? 50 : 100;
            QCOMPARE(p->listView()->rowCount(), expected);
            QCOMPARE(p->flowView()->pager()->currentPage(), page);
            all << shownNames(p.get());
            // one page of row widgets at most, whatever was shown before
            QTRY_VERIFY(p->findChildren<VGonggongwangpan_list_item *>().size() <= 100);
        }
        // the icon view shows the same page when switched to
        p->slotIsShitu(true);
        QCOMPARE(p->flowView()->itemCount(), 50);
        p->flowView()->pager()->goToPage(1);
        QVERIFY(settled(p.get()));
        QCOMPARE(p->flowView()->itemCount(), 100);
        QCOMPARE(p->listView()->grid()->pager()->currentPage(), 1);
        p->slotIsShitu(false);
        QVERIFY(settled(p.get()));
        QCOMPARE(p->listView()->rowCount(), 100);
        QStringList expected = serverNames("/分页");
        QCOMPARE(all.size(), 250);
        std::sort(all.begin(), all.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(all, expected);
        // a new folder starts on page 1, the icon view follows the same page
        p->slotIsShitu(true);
        QVERIFY(p->isIconView());
        QVERIFY(open(p.get(), "/"));
        QCOMPARE(p->model()->page(), 1);
        QCOMPARE(p->flowView()->itemCount(), serverList("/").size());
        shot(p.get(), "disk-icon-root.png");
        p->slotIsShitu(false);
        select(p.get(), {"共享文档"});
        QTRY_VERIFY(p->fileInfo()->rowCount() >= 4);
        shot(p.get(), "disk-list-root.png");
        p->on_pushButton_2_clicked();
        QTRY_VERIFY(p->userIconList()->itemCount() > 0);
        shot(p->detailPane(), "disk-detail-rights.png");
    }

    void sortByEachColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        for (int c : {1, 2, 3})
            for (bool d : {false, true})
                QTest::newRow(qPrintable(QStringLiteral("column %1 %2").arg(c).arg(d ? "down" : "up"))) << c << d;
    }
    void sortByEachColumn()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        static bool made = false;
        if (!made) {
            // sizes whose text order differs from their numeric order
            const QList<QPair<QString, int>> files{{"file2.txt", 9}, {"file10.txt", 1000}, {"Alpha.doc", 10},
                                                   {"beta.TXT", 200}, {"甲.txt", 5}};
            for (const auto &f : files)
                QVERIFY(put("/1001/sharedisk/排序", f.first, QByteArray(f.second, 'x')));
            made = true;
        }
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/排序/"));
        // independent order: folders first, then the column
        QJsonArray items = serverList("/排序");
        QList<QJsonObject> rows;
        for (const QJsonValue &v : items)
            rows << v.toObject();
        QCollator coll{QLocale(VJsonSort::collationLocale())};
        coll.setNumericMode(true);
        const char *keys[] = {"filename", "updatetime", "filesize"};
        const QString key = QString::fromLatin1(keys[column - 1]);
        std::stable_sort(rows.begin(), rows.end(), [&](const QJsonObject &a, const QJsonObject &b) {
            if (a.value("isdir").toBool() != b.value("isdir").toBool())
                return a.value("isdir").toBool();
            const int c = column == 3 ? (a.value(key).toDouble() < b.value(key).toDouble()
                                             ? -1
                                             : a.value(key).toDouble() > b.value(key).toDouble() ? 1 : 0)
                                      : coll.compare(a.value(key).toString(), b.value(key).toString());
            return descending ? c > 0 : c < 0;
        });
        QStringList expected;
        for (const QJsonObject &o : rows)
            expected << o.value("filename").toString();
        // click the header until it sorts the wanted way
        VGrid_head_item *head = p->listView()->grid()->findChildren<VGrid_head_item *>().value(column - 1);
        QVERIFY(head);
        for (int i = 0; i < 3 && !(p->model()->sortKey() == key && p->model()->isDescending() == descending); ++i) {
            QTest::mouseClick(head, Qt::LeftButton);
            QVERIFY(settled(p.get()));
        }
        QCOMPARE(p->model()->sortKey(), key);
        QCOMPARE(shownNames(p.get()), expected);
    }

    void rapidSortAndPageClicksShowOnlyTheNewest()
    {
        QVERIFY(seed("/1001/sharedisk/快速", 3000).value("ok").toBool());
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/快速/"));
        QList<VGrid_head_item *> heads = p->listView()->grid()->findChildren<VGrid_head_item *>();
        VGrid_page *pager = p->listView()->grid()->pager();
        QSignalSpy pages(p->model(), &VDiskList::signalPageReady);
        QTest::mouseClick(heads.at(2), Qt::LeftButton);
        pager->goToPage(4);
        QTest::mouseClick(heads.at(0), Qt::LeftButton);
        pager->goToPage(2);
        QTest::mouseClick(heads.at(0), Qt::LeftButton);
        QVERIFY(settled(p.get()));
        QCOMPARE(p->listView()->build(), p->model()->buildId());
        const QJsonArray order = VDiskList::sortItems(serverList("/快速"), p->model()->sortKey(), p->model()->isDescending());
        const QStringList shown = shownNames(p.get());
        QCOMPARE(shown.size(), 100);
        const int from = (p->model()->page() - 1) * 100;
        for (int i = 0; i < shown.size(); ++i)
            QCOMPARE(shown.at(i), order.at(from + i).toObject().value("filename").toString());
        for (const QList<QVariant> &a : pages)
            QVERIFY(a.at(0).toULongLong() <= p->model()->buildId());
        shot(p.get(), "disk-pager.png");
    }

    void toolbarFollowsRights_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QList<bool>>("enabled"); // upload create download move copy delete
        QTest::newRow("teacher at the root, nothing selected")
            << "demo" << "demo123" << "/" << "" << QList<bool>{true, true, false, false, false, false};
        QTest::newRow("teacher at the root, a folder") << "demo" << "demo123" << "/" << "共享文档"
                                                        << QList<bool>{true, true, true, true, true, true};
        QTest::newRow("student at the root, a folder") << "student" << "student123" << "/" << "共享文档"
                                                        << QList<bool>{false, false, true, false, true, false};
        QTest::newRow("student hands work in") << "student" << "student123" << "/学生作品/" << ""
                                               << QList<bool>{true, true, false, false, false, false};
        QTest::newRow("teacher in the read-only notices") << "demo" << "demo123" << "/教务处/通知公告/"
                                                          << "2026年第1号通知.docx"
                                                          << QList<bool>{false, false, true, false, true, false};
        QTest::newRow("admin in the office files") << "admin" << "admin123" << "/行政办公/" << "预算表.xlsx"
                                                   << QList<bool>{true, true, true, true, true, true};
    }
    void toolbarFollowsRights()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, path);
        QFETCH(QString, item);
        QFETCH(QList<bool>, enabled);
        signIn(server, user, password);
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), path));
        if (!item.isEmpty()) {
            select(p.get(), {item});
            QCOMPARE(p->selection().size(), 1);
        }
        const int ops[] = {0, 1, 3, 7, 6, 5};
        for (int i = 0; i < 6; ++i)
            QVERIFY2(p->opBar()->button(ops[i])->isEnabled() == enabled.at(i),
                     qPrintable(p->opBar()->button(ops[i])->text()));
        // drops follow the upload right
        QCOMPARE(p->listView()->acceptsUpload(), enabled.at(0));
        signIn(server, "demo", "demo123");
    }

    void searchInTheCurrentFolder()
    {
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/共享文档/"));
        QSignalSpy listed(p.get(), &VGonggongwangpan::signalListed);
        p->searchBar()->lineEdit()->setText("教研记录0");
        QTest::keyClick(p->searchBar()->lineEdit(), Qt::Key_Return);
        QVERIFY(listed.wait(20000));
        QVERIFY(settled(p.get()));
        QCOMPARE(p->currentSearch(), QStringLiteral("教研记录0"));
        QCOMPARE(p->listView()->rowCount(), 9);
        for (const QString &n : shownNames(p.get()))
            QVERIFY(n.startsWith("教研记录0"));
        QVERIFY(p->addressBar()->searchButton()->text().contains("教研记录0"));
        // leaving search lists the folder again
        listed.clear();
        p->addressBar()->on_pushButton_search_clicked();
        QVERIFY(listed.wait(20000));
        QVERIFY(settled(p.get()));
        QCOMPARE(p->listView()->rowCount(), serverList("/共享文档").size());
    }

    void createFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // kept in the prompt; empty: created
        QTest::addColumn<bool>("serverFails");
        QTest::newRow("plain") << "新的文件夹" << "" << false;
        QTest::newRow("empty") << "   " << "请填写文件夹名称" << false;
        QTest::newRow("slash") << "a/b" << "不能包含" << false;
        QTest::newRow("star") << "a*b" << "不能包含" << false;
        QTest::newRow("dotdot") << ".." << "不能为" << false;
        QTest::newRow("envelope failure") << "失败的" << "服务器忙，请稍后" << true;
    }
    void createFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(bool, serverFails);
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        if (serverFails)
            QVERIFY(server.addFault("/api/v1/wp/act/add", "code", 1, 1, QJsonObject{{"msg", "服务器忙，请稍后"}}));
        const int before = server.requestCount("/api/v1/wp/act/add");
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        p->slotCreateDirClick();
        auto prompt = openDialog<VPrompt>(p.get());
        QVERIFY(prompt);
        QCOMPARE(prompt->windowTitle(), QStringLiteral("添加文件夹"));
        prompt->lineEdit()->setText(name);
        QTest::keyClick(prompt->lineEdit(), Qt::Key_Return);
        if (message.isEmpty()) {
            QTRY_VERIFY(!prompt || !prompt->isVisible());
            QVERIFY(actDone(p.get(), handled));
            QVERIFY(serverNames("/").contains(name));
            QVERIFY(shownNames(p.get()).contains(name));
            return;
        }
        if (serverFails)
            QTRY_VERIFY(prompt->message().contains(message));
        else
            QVERIFY(prompt->message().contains(message));
        QVERIFY(prompt->isVisible());
        QCOMPARE(server.requestCount("/api/v1/wp/act/add"), before + (serverFails ? 1 : 0));
        QCOMPARE(p->tracker()->pendingCount(), 0);
        prompt->reject();
    }

    void createFromTemplate()
    {
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        p->slotCreateDirByMuban();
        auto d = openDialog<VGonggongwangpan_createdirs>(p.get());
        QVERIFY(d);
        QTRY_VERIFY(d->comboBox()->count() >= 2);
        // nothing chosen, then no title: kept open
        d->buttonok_clicked();
        QVERIFY(d->message().contains("请选择模板"));
        d->comboBox()->setCurrentIndex(d->comboBox()->findText("学期教学资料模板"));
        QTRY_VERIFY(d->treeWidget()->topLevelItemCount() == 3);
        d->buttonok_clicked();
        QVERIFY(d->message().contains("请填写标题"));
        shot(d, "disk-template.png");
        d->titleEdit()->setText("2026秋季");
        d->buttonok_clicked();
        QTRY_VERIFY(!d || !d->isVisible());
        QVERIFY(actDone(p.get(), handled));
        QStringList sub = serverNames("/2026秋季");
        sub.sort();
        QCOMPARE(sub, (QStringList{"作业与试卷", "教案", "课件"}));
        QCOMPARE(serverNames("/2026秋季/教案").size(), 2);
    }

    void renameInPlace()
    {
        QVERIFY(put("/1001/sharedisk/改名", "旧名.TXT", "r"));
        QVERIFY(put("/1001/sharedisk/改名", "已有.TXT", "s"));
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/改名/"));
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        const int before = server.requestCount("/api/v1/wp/act/add");

        // unchanged and empty names send nothing
        select(p.get(), {"旧名.TXT"});
        QTest::keyClick(p->listView()->listWidget(), Qt::Key_F2);
        VGonggongwangpan_list_item *row = p->listView()->row(shownNames(p.get()).indexOf("旧名.TXT"));
        QVERIFY(row->isEditing());
        QCOMPARE(row->editor()->text(), QStringLiteral("旧名"));
        QVERIFY(VGlobalParameter::instance()->isRenaming());
        QTest::keyClick(row->editor(), Qt::Key_Return);
        QVERIFY(!VGlobalParameter::instance()->isRenaming());
        QVERIFY(row->startRename());
        row->editor()->setText("  ");
        QTest::keyClick(row->editor(), Qt::Key_Return);
        QCOMPARE(server.requestCount("/api/v1/wp/act/add"), before);

        // a clash is an error from the finished act
        QVERIFY(row->startRename());
        row->editor()->setText("已有");
        QTest::keyClick(row->editor(), Qt::Key_Return);
        QVERIFY(actDone(p.get(), handled));
        QVERIFY(!texts(ok).contains("重命名成功"));
        QVERIFY(texts(err).join('|').contains("已存在"));

        // the real thing; the extension keeps its case
        handled.clear();
        select(p.get(), {"旧名.TXT"});
        QVERIFY(p->listView()->startRename());
        row = p->listView()->row(shownNames(p.get()).indexOf("旧名.TXT"));
        row->editor()->setText("新名");
        QTest::keyClick(row->editor(), Qt::Key_Return);
        QVERIFY(actDone(p.get(), handled));
        QVERIFY(texts(ok).contains("重命名成功"));
        QVERIFY(serverNames("/改名").contains("新名.TXT"));
        QVERIFY(shownNames(p.get()).contains("新名.TXT"));

        // a row that goes away while editing gives the flag back
        select(p.get(), {"已有.TXT"});
        QVERIFY(p->listView()->startRename());
        QVERIFY(open(p.get(), "/"));
        QTRY_VERIFY(!VGlobalParameter::instance()->isRenaming());
    }

    void copyWithClashesKeepsBoth()
    {
        for (const QString n : {"甲.txt", "乙.txt"}) {
            QVERIFY(put("/1001/sharedisk/复制源", n, ("source " + n).toUtf8()));
            QVERIFY(put("/1001/sharedisk/复制目标", n, "old"));
        }
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/复制源/"));
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        select(p.get(), {"甲.txt", "乙.txt"});
        p->slotCopyFile();
        auto chooser = openDialog<VGonggongwangpan_selDir>(p.get());
        QVERIFY(chooser);
        QTRY_VERIFY(chooser->itemForPath("/1001/sharedisk/复制目标"));
        chooser->treeWidget()->setCurrentItem(chooser->itemForPath("/1001/sharedisk/复制目标"));
        shot(chooser, "disk-chooser.png");
        chooser->buttonok_clicked();
        QTRY_VERIFY(!chooser || !chooser->isVisible());
        // two clashes, asked once with the box ticked
        auto ask = openDialog<VGonggongwangpan_isrename>(p.get());
        QVERIFY(ask);
        shot(ask, "disk-conflict.png");
        auto *box = ask->findChild<QCheckBox *>("checkBox");
        QVERIFY(box && box->isVisible());
        box->setChecked(true);
        handled.clear();
        QTest::mouseClick(ask->keepBothButton(), Qt::LeftButton);
        QTRY_VERIFY(!ask || !ask->isVisible());
        QVERIFY(actDone(p.get(), handled));
        QStringList names = serverNames("/复制目标");
        names.sort();
        QCOMPARE(names, (QStringList{"乙(1).txt", "乙.txt", "甲(1).txt", "甲.txt"}));
        QCOMPARE(server.stat("/1001/sharedisk/复制目标/甲(1).txt").value("sha256").toString(),
                 TestServer::sha256Hex("source 甲.txt"));
        QCOMPARE(server.stat("/1001/sharedisk/复制目标/甲.txt").value("sha256").toString(), TestServer::sha256Hex("old"));
        int visible = 0;
        for (auto *d : p->findChildren<VGonggongwangpan_isrename *>())
            visible += d->isVisible() ? 1 : 0;
        QCOMPARE(visible, 0);
    }

    void moveIntoItselfFails()
    {
        const QString dirs = QString::fromUtf8(QJsonDocument(QJsonArray{"外层/内层"}).toJson());
        const QString id = server.call("api/v1/wp/act/add", {{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk"}, {"dirs", dirs}}, token)
                               .value("data").toObject().value("evtid").toString();
        QCOMPARE(server.waitAct(token, id).value("status").toInt(), 99);
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        select(p.get(), {"外层"});
        p->slotMoveFile();
        auto chooser = openDialog<VGonggongwangpan_selDir>(p.get());
        QTRY_VERIFY(chooser->itemForPath("/1001/sharedisk/外层"));
        chooser->itemForPath("/1001/sharedisk/外层")->setExpanded(true);
        QTRY_VERIFY(chooser->itemForPath("/1001/sharedisk/外层/内层"));
        chooser->treeWidget()->setCurrentItem(chooser->itemForPath("/1001/sharedisk/外层/内层"));
        chooser->buttonok_clicked();
        auto fail = openDialog<VGonggongwangpan_errmove>(p.get());
        QVERIFY(fail);
        QVERIFY(actDone(p.get(), handled));
        auto *row = qobject_cast<QLabel *>(fail->listWidget()->itemWidget(fail->listWidget()->item(0)));
        QVERIFY(row);
        QVERIFY(row->text().contains("不能将文件夹放入其自身或其子文件夹"));
        shot(fail, "disk-failure.png");
        QVERIFY(serverNames("/").contains("外层"));
    }

    void deleteToRecycleBin()
    {
        QVERIFY(put("/1001/sharedisk/删除", "去回收站.txt", "bin"));
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/删除/"));
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        select(p.get(), {"去回收站.txt"});
        QTest::keyClick(p->listView()->listWidget(), Qt::Key_Delete);
        auto prompt = openDialog<VPrompt>(p.get());
        QCOMPARE(prompt->windowTitle(), QStringLiteral("系统提示"));
        QCOMPARE(prompt->label()->text(), QStringLiteral("确认移入回收站？"));
        prompt->slotClicked();
        QTRY_VERIFY(!prompt || !prompt->isVisible());
        QVERIFY(actDone(p.get(), handled));
        QVERIFY(!shownNames(p.get()).contains("去回收站.txt"));
        bool inBin = false;
        for (const QJsonValue &v : server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", "去回收站"}}, token)
                                       .value("data").toArray())
            inBin = inBin || v.toObject().value("filename").toString() == "去回收站.txt";
        QVERIFY(inBin);
    }

    void downloadRecordsKeepTheTree()
    {
        QVERIFY(put("/1001/sharedisk/下载树/子/孙", "深.txt", "deep"));
        QVERIFY(put("/1001/sharedisk/下载树", "浅.txt", "top"));
        QVERIFY(put("/1001/sharedisk", "单个.txt", "one"));
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        QSignalSpy fresh(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForDownload);
        QSignalSpy counted(p.get(), &VGonggongwangpan::signalBatchCounted);
        select(p.get(), {"下载树", "单个.txt"});
        p->slotDownloadFile();
        QTRY_VERIFY_WITH_TIMEOUT(counted.size() == 2, 20000);
        QMap<QString, M_db_file> byLocal;
        for (const M_db_file &f : db_self::instance()->getDownloads())
            byLocal.insert(f.localpath, f);
        const QString base = QDir::cleanPath(downloads.path());
        QVERIFY(byLocal.contains(base + "/单个.txt"));
        QVERIFY(byLocal.contains(base + "/下载树/浅.txt"));
        QVERIFY(byLocal.contains(base + "/下载树/子/孙/深.txt"));
        QCOMPARE(byLocal.value(base + "/下载树/子/孙/深.txt").serverpath, QStringLiteral("/1001/sharedisk/下载树/子/孙/深.txt"));
        for (const QString &l : byLocal.keys())
            QVERIFY(l.startsWith(base + "/"));
        QVERIFY(fresh.size() >= 2);
        // the same again: nothing new
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        counted.clear();
        select(p.get(), {"单个.txt"});
        p->slotDownloadFile();
        QTRY_VERIFY_WITH_TIMEOUT(counted.size() == 1, 20000);
        QVERIFY(texts(err).contains("下载任务已存在"));
    }

    void favouriteAddAndRemove()
    {
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/共享文档/"));
        select(p.get(), {"README.md"});
        const M_fileinfo item = p->selection().first();
        auto favIds = [this] {
            QStringList ids;
            for (const QJsonValue &v : server.call("api/v1/wp/favourite/list", {}, token, false).value("data").toArray())
                ids << v.toObject().value("fileid").toString();
            return ids;
        };
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        QVERIFY(!favIds().contains(item.id));
        p->slotContextMenu(p->mapToGlobal(QPoint(200, 200)));
        QVERIFY(p->contextMenu());
        shot(p->contextMenu(), "disk-menu.png");
        QAction *fav = nullptr;
        for (QAction *a : p->contextMenu()->actions())
            if (a->text() == "收藏")
                fav = a;
        QVERIFY(fav);
        fav->trigger();
        QTRY_VERIFY(texts(ok).contains("添加收藏成功"));
        QVERIFY(favIds().contains(item.id));
        QTRY_VERIFY(p->isFavourite(item.id));
        p->slotContextMenu(p->mapToGlobal(QPoint(200, 200)));
        QAction *unfav = nullptr;
        for (QAction *a : p->contextMenu()->actions())
            if (a->text() == "取消收藏")
                unfav = a;
        QVERIFY(unfav);
        const int dels = server.requestCount("/api/v1/wp/favourite/del");
        unfav->trigger();
        QTRY_VERIFY(texts(ok).contains("取消收藏成功"));
        QCOMPARE(server.requestCount("/api/v1/wp/favourite/del"), dels + 1);
        QVERIFY(!favIds().contains(item.id));
        p->contextMenu()->close();
    }

    void keyboard()
    {
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        QListWidget *l = p->listView()->listWidget();
        select(p.get(), {"教务处"});
        QSignalSpy listed(p.get(), &VGonggongwangpan::signalListed);
        QTest::keyClick(l, Qt::Key_Return);
        QVERIFY(listed.wait(20000));
        QVERIFY(settled(p.get()));
        QCOMPARE(p->currentPath(), QStringLiteral("/教务处/"));
        QTest::keyClick(l, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(p->selection().size(), p->listView()->rowCount());
        QCOMPARE(p->statusLabel()->text(), QStringLiteral("已选中%1个文件/文件夹").arg(p->listView()->rowCount()));
        listed.clear();
        QTest::keyClick(l, Qt::Key_Backspace);
        QVERIFY(listed.wait(20000));
        QCOMPARE(p->currentPath(), QStringLiteral("/"));
        // back in the address bar's history
        QVERIFY(settled(p.get()));
        listed.clear();
        p->addressBar()->on_toolButton_clicked();
        QVERIFY(listed.wait(20000));
        QCOMPARE(p->currentPath(), QStringLiteral("/教务处/"));
    }

    // The icon view answers the same keys as the list view: Enter opens,
    // Ctrl+A selects all, Backspace goes up, Delete asks before the recycle
    // bin, F2 renames in place (Escape gives up, the flag comes back).
    void iconViewKeys()
    {
        QVERIFY(put("/1001/sharedisk/图标键/子目录", "里面.txt", "in"));
        QVERIFY(put("/1001/sharedisk/图标键", "旧图标.DOCX", "docx"));
        QVERIFY(put("/1001/sharedisk/图标键", "删掉我.txt", "gone"));
        auto p = makePage();
        p->show();
        p->slotIsShitu(true);
        QVERIFY(open(p.get(), "/图标键/"));
        QListWidget *l = p->flowView()->listWidget();
        auto selectIcon = [&](const QString &name) {
            l->clearSelection();
            for (int i = 0; i < l->count(); ++i)
                if (l->item(i)->data(Qt::AccessibleTextRole).toString() == name)
                    l->item(i)->setSelected(true);
            return p->selection().size() == 1 && p->selection().first().filename == name;
        };
        QCOMPARE(p->flowView()->itemCount(), 3);
        QTest::keyClick(l, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(p->selection().size(), 3);
        QCOMPARE(p->statusLabel()->text(), QStringLiteral("已选中3个文件/文件夹"));

        // Enter on a folder opens it, Backspace comes back
        QVERIFY(selectIcon("子目录"));
        QSignalSpy listed(p.get(), &VGonggongwangpan::signalListed);
        QTest::keyClick(l, Qt::Key_Return);
        QVERIFY(listed.wait(20000));
        QVERIFY(settled(p.get()));
        QCOMPARE(p->currentPath(), QStringLiteral("/图标键/子目录/"));
        QCOMPARE(p->flowView()->itemCount(), 1);
        listed.clear();
        QTest::keyClick(l, Qt::Key_Backspace);
        QVERIFY(listed.wait(20000));
        QVERIFY(settled(p.get()));
        QCOMPARE(p->currentPath(), QStringLiteral("/图标键/"));

        // F2: the name without its extension; Escape sends nothing
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        QSignalSpy ok(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_success);
        const int before = server.requestCount("/api/v1/wp/act/add");
        QVERIFY(selectIcon("旧图标.DOCX"));
        QTest::keyClick(l, Qt::Key_F2);
        QLineEdit *editor = p->flowView()->editor();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("旧图标"));
        QCOMPARE(editor->accessibleName(), QStringLiteral("新名称"));
        QVERIFY(VGlobalParameter::instance()->isRenaming());
        shot(p.get(), "disk-icon-rename.png");
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!VGlobalParameter::instance()->isRenaming());
        QVERIFY(!p->flowView()->isRenaming());
        // an unchanged name sends nothing either
        QTest::keyClick(l, Qt::Key_F2);
        QVERIFY(p->flowView()->editor());
        QTest::keyClick(p->flowView()->editor(), Qt::Key_Return);
        QTRY_VERIFY(!VGlobalParameter::instance()->isRenaming());
        QCOMPARE(server.requestCount("/api/v1/wp/act/add"), before);
        // the real thing, through the menu's entry this time; the extension keeps its case
        QVERIFY(selectIcon("旧图标.DOCX"));
        QTest::keyClick(l, Qt::Key_F2);
        QVERIFY(p->flowView()->editor());
        p->flowView()->editor()->setText(QStringLiteral("新图标"));
        QTest::keyClick(p->flowView()->editor(), Qt::Key_Return);
        QVERIFY(actDone(p.get(), handled));
        QVERIFY(texts(ok).contains("重命名成功"));
        QVERIFY(serverNames("/图标键").contains("新图标.DOCX"));
        QTRY_VERIFY(!p->model()->isSorting());
        QStringList icons;
        for (int i = 0; i < l->count(); ++i)
            icons << l->item(i)->data(Qt::AccessibleTextRole).toString();
        QVERIFY(icons.contains("新图标.DOCX"));
        QVERIFY(!VGlobalParameter::instance()->isRenaming());

        // an editor whose item goes away gives the flag back
        QVERIFY(selectIcon("新图标.DOCX"));
        QVERIFY(p->flowView()->startRename());
        QVERIFY(VGlobalParameter::instance()->isRenaming());
        QVERIFY(open(p.get(), "/"));
        QVERIFY(!VGlobalParameter::instance()->isRenaming());
        QVERIFY(open(p.get(), "/图标键/"));

        // Delete asks first
        handled.clear();
        QVERIFY(selectIcon("删掉我.txt"));
        QTest::keyClick(l, Qt::Key_Delete);
        auto prompt = openDialog<VPrompt>(p.get());
        QVERIFY(prompt);
        QCOMPARE(prompt->label()->text(), QStringLiteral("确认移入回收站？"));
        prompt->slotClicked();
        QVERIFY(actDone(p.get(), handled));
        QVERIFY(!serverNames("/图标键").contains("删掉我.txt"));
    }

    // Dragging items out of either view to a local folder downloads them
    // there: the drag's marker is found in the folder it landed in. The
    // offscreen platform has no drag loop; a stand-in for the desktop's
    // takes the drag (a file manager copying what was dropped into its
    // folder), refuses it, or drops it where the marker cannot be found.
    void dragOutToALocalFolder_data()
    {
        QTest::addColumn<bool>("iconView");
        QTest::addColumn<int>("outcome"); // 0 landed in home, 1 refused, 2 landed out of sight
        QTest::newRow("list view") << false << 0;
        QTest::newRow("icon view") << true << 0;
        QTest::newRow("icon view, refused") << true << 1;
        QTest::newRow("list view, folder not found") << false << 2;
    }
    void dragOutToALocalFolder()
    {
        QFETCH(bool, iconView);
        QFETCH(int, outcome);
        const QString folderName = QStringLiteral("拖出%1").arg(QTest::currentDataTag());
        QVERIFY(put("/1001/sharedisk/" + folderName, "拖到桌面.txt", "drag me"));
        QVERIFY(put("/1001/sharedisk/" + folderName, "也拖走.txt", "me too"));
        auto p = makePage();
        p->show();
        p->slotIsShitu(iconView);
        QVERIFY(open(p.get(), "/" + folderName + "/"));
        QTemporaryDir elsewhere;
        QStringList carried;
        int runs = 0;
        VGonggongwangpan_dragout::setDragLoop([&](QDrag *drag) {
            ++runs;
            const QList<QUrl> urls = drag->mimeData()->urls();
            carried << urls.first().toLocalFile();
            if (drag->mimeData()->property("isTemp").toInt() != 1 || outcome == 1)
                return Qt::IgnoreAction;
            const QString into = outcome == 0 ? QDir::homePath() : elsewhere.path();
            QFile::copy(urls.first().toLocalFile(), into + "/" + QFileInfo(urls.first().toLocalFile()).fileName());
            return Qt::CopyAction;
        });
        QListWidget *l = iconView ? p->flowView()->listWidget() : p->listView()->listWidget();
        QTest::keyClick(l, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(p->selection().size(), 2);
        QSignalSpy downs(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForDownload);
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QSignalSpy landed = iconView ? QSignalSpy(p->flowView(), &VGonggongwangpan_flow::signalDrag2Local)
                                     : QSignalSpy(p->listView(), &VGonggongwangpan_list::signalDrag2Local);
        // press on a selected item, move with the button held: the drag starts
        QWidget *vp = l->viewport();
        const QPoint start = l->visualItemRect(l->item(0)).center();
        QMouseEvent press(QEvent::MouseButtonPress, start, vp->mapToGlobal(start), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &press);
        const QPoint to = start + QPoint(40, 0);
        QMouseEvent move(QEvent::MouseMove, to, vp->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &move);
        VGonggongwangpan_dragout::setDragLoop({});
        QCOMPARE(runs, 1);
        QCOMPARE(carried.size(), 1);
        // the marker goes away on every way out
        QVERIFY(!QFile::exists(carried.first()));
        QCOMPARE(QDir(QDir::homePath()).entryList({"orvel*"}, QDir::Files), QStringList());
        QCOMPARE(landed.size(), outcome == 0 ? 1 : 0);
        if (outcome == 0) {
            QCOMPARE(landed.first().at(0).toString(), QDir::homePath());
            QTRY_COMPARE_WITH_TIMEOUT(downs.size(), 1, 20000);
            const auto records = downs.first().first().value<QList<M_db_file>>();
            QStringList names;
            for (const M_db_file &r : records) {
                names << r.filename;
                QCOMPARE(QFileInfo(r.localpath).absolutePath(), QDir::homePath());
                QCOMPARE(r.type, 1);
            }
            names.sort();
            QCOMPARE(names, (QStringList{"也拖走.txt", "拖到桌面.txt"}));
        } else {
            QCOMPARE(texts(err).contains(QStringLiteral("未找到拖放的目标文件夹，请使用下载按钮")), outcome == 2);
        }
    }

    // Rows are kept from page to page: a row shows everything of its new
    // item (names, rights of its buttons, no check left over), and a rename
    // open on the page before gives its flag back.
    void rowsReusedAcrossPages()
    {
        QVERIFY(seed("/1001/sharedisk/翻页复用", 230).value("ok").toBool());
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/翻页复用/"));
        QCOMPARE(p->listView()->rowCount(), 100);
        VGonggongwangpan_list_item *first = p->listView()->row(0);
        QToolButton *download = first->downloadButton();
        select(p.get(), {first->info().filename});
        QVERIFY(first->checkBox()->isChecked());
        QVERIFY(p->listView()->startRename());
        QVERIFY(VGlobalParameter::instance()->isRenaming());
        const QStringList page1 = shownNames(p.get());
        p->listView()->grid()->pager()->goToPage(2);
        QVERIFY(settled(p.get()));
        QVERIFY(!VGlobalParameter::instance()->isRenaming());
        QCOMPARE(p->listView()->row(0), first); // the same widget, another item
        QVERIFY(!first->isEditing());
        QVERIFY(!first->checkBox()->isChecked());
        QVERIFY(p->selection().isEmpty());
        QStringList ordered;
        for (const QJsonValue &v : VDiskList::sortItems(serverList("/翻页复用"), "filename", false))
            ordered << v.toObject().value("filename").toString();
        const QStringList page2 = shownNames(p.get());
        QCOMPARE(page2, ordered.mid(100, 100));
        QVERIFY(!page2.contains(page1.first()));
        for (int i = 0; i < p->listView()->rowCount(); ++i) {
            VGonggongwangpan_list_item *r = p->listView()->row(i);
            QCOMPARE(r->accessibleName(), r->info().filename);
            QCOMPARE(r->checkBox()->accessibleName(), QStringLiteral("选择 %1").arg(r->info().filename));
            QCOMPARE(p->listView()->listWidget()->item(i)->data(Qt::AccessibleTextRole).toString(), r->info().filename);
            QVERIFY(r->nameLabel()->toolTip() == r->info().filename);
        }
        QCOMPARE(download->accessibleName(), QStringLiteral("下载 %1").arg(first->info().filename));
        // the last page keeps only the rows it needs
        p->listView()->grid()->pager()->goToPage(3);
        QVERIFY(settled(p.get()));
        QCOMPARE(p->listView()->rowCount(), 30);
        QTRY_COMPARE(p->findChildren<VGonggongwangpan_list_item *>().size(), 30);
        QCOMPARE(shownNames(p.get()), ordered.mid(200));
        shot(p.get(), "disk-list-pager.png");
        p->slotIsShitu(true);
        shot(p.get(), "disk-icon-pager.png");
    }

    void failedListingKeepsTheFolder()
    {
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/共享文档/"));
        const int rows = p->listView()->rowCount();
        QSignalSpy failed(p.get(), &VGonggongwangpan::signalListFailed);
        p->openPath("/不存在的文件夹/");
        QVERIFY(failed.wait(20000));
        QCOMPARE(p->currentPath(), QStringLiteral("/共享文档/"));
        QCOMPARE(p->currentFolder().filename, QStringLiteral("共享文档"));
        QCOMPARE(p->listView()->rowCount(), rows);
        QVERIFY(!p->addressBar()->isBusy());
        QVERIFY(!p->isLoading());
        // a slow reply for an older request never overwrites a newer one
        QVERIFY(server.addFault("/api/v1/wp/file/getlist", "delay", 1500, 1));
        QSignalSpy listed(p.get(), &VGonggongwangpan::signalListed);
        p->openPath("/音视频/");
        p->openPath("/常用软件/");
        QVERIFY(listed.wait(20000));
        // the delayed reply comes later and is dropped
        QTRY_VERIFY_WITH_TIMEOUT(p->staleReplyCount() >= 1, 20000);
        QCOMPARE(p->currentPath(), QStringLiteral("/常用软件/"));
        QCOMPARE(listed.size(), 1);
    }

    void namesAreShownLiterally()
    {
        // the service refuses < and > in names, but entities pass
        const QString name = QStringLiteral("R&amp;D &lt;i&gt;.txt");
        QVERIFY(put("/1001/sharedisk/转义", name, "h"));
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/转义/"));
        VGonggongwangpan_list_item *row = p->listView()->row(0);
        QCOMPARE(row->nameLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(row->nameLabel()->toolTip(), name);
        QCOMPARE(row->accessibleName(), name);
        p->slotIsShitu(true);
        QCOMPARE(p->flowView()->listWidget()->item(0)->toolTip(), name);
        p->slotIsShitu(false);
        // the detail pane shows the entity text, not what it would render to
        select(p.get(), {name});
        QTRY_VERIFY(!p->fileInfo()->findChildren<QLabel *>().isEmpty());
        bool escaped = false;
        QTRY_VERIFY((escaped = [&] {
            for (QLabel *l : p->fileInfo()->findChildren<QLabel *>())
                if (l->text().contains("R&amp;amp;D &amp;lt;i&amp;gt;.txt"))
                    return true;
            return false;
        }()));
        // server messages in the dialogs
        const QString t = VGonggongwangpan_errmove::rowText("t", "/a/<b>x</b>", "<i>", "<script>");
        QVERIFY(!t.contains("<b>x</b>") && !t.contains("<script>") && t.contains("&lt;b&gt;"));
        VGonggongwangpan_isrename ask(QJsonArray{QJsonObject{{"path", "/1001/sharedisk/<b>x.txt"}, {"msg", "<i>m</i>"}}});
        QVERIFY(ask.messageLabel()->text().contains("&lt;b&gt;x.txt"));
        QVERIFY(!ask.messageLabel()->text().contains("<i>m</i>"));
    }

    void everyClickableControlHasAName()
    {
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        select(p.get(), {"共享文档"});
        QStringList missing = unnamedControls(p.get());
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
        // the icon view, the menu and the dialogs too
        p->slotIsShitu(true);
        missing = unnamedControls(p.get());
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
        p->slotIsShitu(false);
        p->slotContextMenu(p->mapToGlobal(QPoint(100, 100)));
        QVERIFY(p->contextMenu());
        missing = unnamedControls(p->contextMenu());
        p->contextMenu()->close();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
        for (QWidget *d : std::initializer_list<QWidget *>{
                 new VGonggongwangpan_selDir(QStringLiteral("复制到"), p.get()),
                 new VGonggongwangpan_createdirs(p.get()),
                 new VGonggongwangpan_isrename(QJsonArray{QJsonObject{{"path", "/a/b.txt"}, {"msg", "m"}},
                                                          QJsonObject{{"path", "/a/c.txt"}, {"msg", "m"}}},
                                               p.get()),
                 new VGonggongwangpan_errmove(QJsonArray{QJsonObject{{"path", "/a"}, {"msg", "m"}}}, "客户端", "127.0.0.1",
                                              "演示教师", "2026-01-01 00:00", p.get())}) {
            d->show();
            missing = unnamedControls(d);
            QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
            delete d;
        }
        // rows read as their file names
        for (int i = 0; i < p->listView()->rowCount(); ++i) {
            VGonggongwangpan_list_item *r = p->listView()->row(i);
            QCOMPARE(r->accessibleName(), r->info().filename);
            QCOMPARE(p->listView()->listWidget()->item(i)->data(Qt::AccessibleTextRole).toString(), r->info().filename);
        }
    }

    void dropsWaitForTheirFolders()
    {
        // acts that take long enough to look at the page meanwhile
        TestServer slow(options(1500));
        QVERIFY2(slow.start(), qPrintable(slow.errorString()));
        signIn(slow, "demo", "demo123");
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/Photos";
        auto write = [](const QString &path, const QByteArray &data) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
        };
        QVERIFY(write(root + "/Trip/IMG_0001.JPG", "jpeg"));
        QVERIFY(write(root + "/readme.MD", "r"));
        QVERIFY(QDir().mkpath(root + "/Empty Folder"));
        QVERIFY(QFile::link(root, root + "/Trip/loop"));
        QCOMPARE(::mkfifo(QFile::encodeName(root + "/pipe").constData(), 0600), 0);

        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/"));
        const int uploadsBefore = db_self::instance()->getUploads().size();
        QSignalSpy handled(p.get(), &VGonggongwangpan::signalActHandled);
        QSignalSpy counted(p.get(), &VGonggongwangpan::signalBatchCounted);
        // a drop as a file manager sends it
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(root)});
        QWidget *viewport = p->listView()->listWidget()->viewport();
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QVERIFY(VGlobalParameter::instance()->isUploadPreparing());
        // the AddDirs act is pending: no upload record yet
        QTRY_VERIFY_WITH_TIMEOUT(p->tracker()->pendingCount() == 1, 20000);
        QCOMPARE(db_self::instance()->getUploads().size(), uploadsBefore);
        QVERIFY(handled.isEmpty());
        QVERIFY(actDone(p.get(), handled));
        QTRY_VERIFY_WITH_TIMEOUT(counted.size() == 1, 20000);
        QCOMPARE(counted.first().at(1).toInt(), 2);
        QVERIFY(!VGlobalParameter::instance()->isUploadPreparing());
        QMap<QString, QString> up;
        for (const M_db_file &f : db_self::instance()->getUploads())
            up.insert(f.localpath, f.serverpath);
        QCOMPARE(up.value(root + "/Trip/IMG_0001.JPG"), QStringLiteral("/1001/sharedisk/Photos/Trip"));
        QCOMPARE(up.value(root + "/readme.MD"), QStringLiteral("/1001/sharedisk/Photos"));
        bool empty = false;
        for (const QJsonValue &v : slow.call("api/v1/wp/file/getlist", {{"filepath", "/Photos"}}, token)
                                       .value("data").toObject().value("list").toArray())
            empty = empty || v.toObject().value("filename").toString() == "Empty Folder";
        QVERIFY(empty);

        // the icon view takes the drag but uploads nothing
        counted.clear();
        p->slotIsShitu(true);
        QWidget *icons = p->flowView()->listWidget()->viewport();
        QDropEvent drop2(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(icons, &drop2);
        QVERIFY(!VGlobalParameter::instance()->isUploadPreparing());

        // a failed act/add gives the flag back
        QVERIFY(slow.addFault("/api/v1/wp/act/add", "code", 1, 1, QJsonObject{{"msg", "服务器遇到意外情况，导致无法完成请求"}}));
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        p->slotGetUploadFiles(p->currentFolder().fullpath, {root});
        QTRY_VERIFY_WITH_TIMEOUT(!VGlobalParameter::instance()->isUploadPreparing(), 20000);
        QVERIFY(texts(err).contains("文件夹数过多"));
        QCOMPARE(p->tracker()->pendingCount(), 0);
        signIn(server, "demo", "demo123");
    }

    // Opening a file hands it to the global task (preview, local editing);
    // the 3 s reload lists the shown folder again when an upload finished in it.
    void previewHandOffAndReloadAfterUploads()
    {
        QVERIFY(put("/1001/sharedisk/预览", "看.txt", "abc"));
        auto p = makePage();
        p->show();
        QVERIFY(open(p.get(), "/预览"));
        QSignalSpy ops(VGlobalConnect::instance(), &VGlobalConnect::signalFileOp);
        QCOMPARE(p->listView()->rowCount(), 1);
        const M_fileinfo item = p->listView()->row(0)->info();
        p->slotDoubleClick(item);
        QCOMPARE(ops.size(), 1);
        QCOMPARE(ops.first().at(0).value<enum_fileoptype>(), fileop_viewonline);
        QCOMPARE(VGlobalTask::fileIdOf(ops.first().at(1)), item.id);
        // the preview test: a kind without a viewer is not handed over
        QVERIFY(put("/1001/sharedisk/预览", "音乐.mp3", "id3"));
        QVERIFY(open(p.get(), "/预览"));
        M_fileinfo song;
        for (int i = 0; i < p->listView()->rowCount(); ++i)
            if (p->listView()->row(i)->info().filename == "音乐.mp3")
                song = p->listView()->row(i)->info();
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        p->slotDoubleClick(song);
        QCOMPARE(ops.size(), 1);
        QCOMPARE(err.size(), 1);
        p->slotFileOp2EditLocal(QString(), item);
        QCOMPARE(ops.size(), 2);
        QCOMPARE(ops.last().at(0).value<enum_fileoptype>(), fileop_editlocal);
        QCOMPARE(VGlobalTask::fileIdOf(ops.last().at(1)), item.id);

        // a finished upload elsewhere: the list stays
        M_db_file done;
        done.type = 2;
        done.serverpath = QStringLiteral("/1001/sharedisk/别处");
        VGlobalResource::instance()->addChangeFileList(done);
        p->slotTimerTimeout();
        QVERIFY(!p->isLoading());
        QVERIFY(VGlobalResource::instance()->changeFileList().isEmpty()); // read and cleared
        // one into the shown folder (any case, trailing slash): listed again
        QVERIFY(put("/1001/sharedisk/预览", "新.txt", "n"));
        done.serverpath = QStringLiteral("/1001/SHAREDISK/预览/");
        VGlobalResource::instance()->addChangeFileList(done);
        QSignalSpy listed(p.get(), &VGonggongwangpan::signalListed);
        p->slotTimerTimeout();
        QVERIFY(listed.wait(20000));
        QVERIFY(settled(p.get()));
        QVERIFY(shownNames(p.get()).contains("新.txt"));
        QVERIFY(VGlobalTask::isPreviewable(item));
    }
};

QTEST_MAIN(TstVGonggongwangpan)
#include "tst_vgonggongwangpan.moc"
