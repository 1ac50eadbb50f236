// Behaviour of the shared widgets: the pager, the address bar history, the
// grid's Ctrl+A rule, the toolbar's permission mask and the dialog frame.
#include "VWidgets/vaddressbar.h"
#include "VWidgets/vdialog.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vopbar.h"
#include "VWidgets/vprompt.h"
#include "VWidgets/vsearchbar.h"
#include "VWidgets/vshousuobar.h"
#include "VWidgets/vusericonlist.h"
#include "context/vglobalparameter.h"
#include "uitestsetup.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <QVBoxLayout>
#include <QHBoxLayout>

class TestVWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        uiTestSetup();
        qRegisterMetaType<QList<QListWidgetItem *>>();
    }

    void imagesTheProgramNames_data()
    {
        QTest::addColumn<QString>("path");
        const QStringList names{
            "icon.ico", "png/warning.png", "png/queding.png", "gif/waiting.gif", "gif/loading.gif",
            "icon/suofang.png", "icon/close.png", "icon/max.png", "icon/max2.png", "icon/min.png",
            "icon/qxicon_person.png", "icon/qxicon_shenfen.png", "icon/qxicon_group.png",
            "png/shangchuan.png", "png/xinjian.png", "png/lianjie.png", "png/xiazai.png", "png/huishouzhan.png",
            "png/chongmingming.png", "png/copy.png", "png/move.png"};
        for (const QString &n : names)
            QTest::newRow(qPrintable(n)) << QStringLiteral(":/images/") + n;
        for (const char *m : {"gonggongwangpan", "xuexiaozhaopian", "zaixianshipin", "zaixianbeike", "xuexiaorongyu",
                              "gerenwangpan", "zuijin", "shoucang", "lianjie", "huishouzhan", "tongbu", "chuanshu"}) {
            QTest::newRow(m) << QStringLiteral(":/images/png/%1.png").arg(m);
            QTest::newRow(qPrintable(QStringLiteral("hover/%1").arg(m))) << QStringLiteral(":/images/png/hover/%1.png").arg(m);
        }
        for (const char *k : {"docx", "xlsx", "pptx", "html", "folder", "other", "unknow"}) {
            QTest::newRow(qPrintable(QStringLiteral("max/%1").arg(k))) << QStringLiteral(":/images/max/%1.png").arg(k);
            QTest::newRow(qPrintable(QStringLiteral("min/%1").arg(k))) << QStringLiteral(":/images/min/%1.png").arg(k);
        }
    }

    void imagesTheProgramNames()
    {
        // every image loads and is no blank square: it has at least two colours
        QFETCH(QString, path);
        QImage img(path);
        QVERIFY2(!img.isNull(), qPrintable(path));
        img = img.convertToFormat(QImage::Format_ARGB32);
        QSet<QRgb> colours;
        for (int y = 0; y < img.height() && colours.size() < 2; ++y)
            for (int x = 0; x < img.width() && colours.size() < 2; ++x)
                colours.insert(img.pixel(x, y));
        QVERIFY2(colours.size() >= 2, qPrintable(path));
    }

    void theStyleSheetIsLatin1Text()
    {
        // start-up reads it as Latin-1 up to the first zero byte
        QFile f(QStringLiteral(":/qss/default.qss"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.size() > 1000);
        QVERIFY(!bytes.contains('\0'));
        for (char c : bytes)
            QVERIFY2(uchar(c) < 0x80, "non-ASCII byte in the style sheet");
    }

    void pagerTypedPage_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expected"); // 0: nothing emitted
        QTest::newRow("zero goes to page 1") << 5 << "0" << 1;
        QTest::newRow("above count goes to last") << 5 << "99" << 12;
        QTest::newRow("inside") << 1 << "7" << 7;
        QTest::newRow("current emits nothing") << 4 << "4" << 0;
        QTest::newRow("zero on page 1 emits nothing") << 1 << "0" << 0;
    }

    void pagerTypedPage()
    {
        QFETCH(int, current);
        QFETCH(QString, typed);
        QFETCH(int, expected);
        VGrid_page pager;
        pager.setPageCount(12);
        pager.setCurrentPage(current);
        QSignalSpy spy(&pager, &VGrid_page::currentPageChanged);
        pager.pageLineEdit()->setText(typed);
        QTest::keyClick(pager.pageLineEdit(), Qt::Key_Return);
        QVERIFY(pager.pageLineEdit()->text().isEmpty());
        if (expected == 0) {
            QCOMPARE(spy.size(), 0);
            QCOMPARE(pager.currentPage(), current);
        } else {
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.first().at(0).toInt(), expected);
            QCOMPARE(pager.currentPage(), expected);
            QVERIFY(pager.shownPages().contains(expected));
        }
    }

    void pagerLabelsAndClicks()
    {
        VGrid_page pager;
        pager.setPageCount(20);
        pager.setCurrentPage(10);
        pager.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pager));
        QCOMPARE(pager.shownPages(), (QList<int>{1, 8, 9, 10, 11, 12, 20}));
        QSignalSpy spy(&pager, &VGrid_page::currentPageChanged);
        QTest::mouseClick(pager.nextPageLabel(), Qt::LeftButton);
        QCOMPARE(pager.currentPage(), 11);
        QTest::mouseClick(pager.previousPageLabel(), Qt::LeftButton);
        QTest::mouseClick(pager.previousPageLabel(), Qt::LeftButton);
        QCOMPARE(pager.currentPage(), 9);
        QCOMPARE(spy.size(), 3);
        pager.setCurrentPage(1);
        spy.clear();
        QTest::mouseClick(pager.previousPageLabel(), Qt::LeftButton);
        QCOMPARE(spy.size(), 0);
        // exactly one label is marked current
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        int marked = 0;
        for (QLabel *l : pager.findChildren<QLabel *>())
            if (l->property("currentPage").toBool() && !l->property("pageNumber").isNull())
                ++marked;
        QCOMPARE(marked, 1);
    }

    void addressBarHistory()
    {
        VAddressBar bar;
        QSignalSpy spy(&bar, &VAddressBar::signalPathChange);
        auto settle = [&bar] { bar.slotWatingEnd(); };
        bar.goTo(QStringLiteral("/"));
        settle();
        bar.goTo(QStringLiteral("/a/"));
        settle();
        bar.goTo(QStringLiteral("/a/b/"));
        settle();
        QCOMPARE(bar.historySize(), 3);
        QCOMPARE(bar.segmentButtons().size(), 2);

        // clicking the current segment reloads without a new entry
        bar.slotAddr(bar.segmentButtons().last());
        settle();
        QCOMPARE(bar.historySize(), 3);
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("/a/b/"));

        // back (one step per click), then a new folder: the forward history is dropped
        bar.backButton()->click();
        settle();
        QCOMPARE(bar.currentPath(), QStringLiteral("/a/"));
        QVERIFY(bar.forwardButton()->isEnabled());
        bar.goTo(QStringLiteral("/a/c/"));
        settle();
        QCOMPARE(bar.historySize(), 3);
        QVERIFY(!bar.forwardButton()->isEnabled());
        bar.on_toolButton_2_clicked();
        settle();
        QCOMPARE(bar.currentPath(), QStringLiteral("/a/c/"));

        // the first segment goes to its own path
        bar.slotAddr(bar.segmentButtons().first());
        settle();
        QCOMPARE(bar.currentPath(), QStringLiteral("/a/"));
    }

    void addressBarBusyAndSearch()
    {
        VAddressBar bar;
        bar.setBusyTimeout(50);
        QSignalSpy spy(&bar, &VAddressBar::signalPathChange);
        bar.goTo(QStringLiteral("/x/"));
        QVERIFY(bar.isBusy());
        bar.goTo(QStringLiteral("/y/")); // ignored while the listing runs
        QCOMPARE(spy.size(), 1);
        QTRY_VERIFY(!bar.isBusy());
        bar.slotSearch(QStringLiteral("报告"));
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("/x/"));
        QCOMPARE(spy.last().at(1).toString(), QStringLiteral("报告"));
        QCOMPARE(bar.searchButton()->text(), QStringLiteral("搜索当前目录：\"报告\""));
        bar.slotWatingEnd();
        bar.on_pushButton_search_clicked();
        QCOMPARE(spy.last().at(1).toString(), QString());
        QVERIFY(bar.searchButton()->isHidden());
    }

    void searchBarAndViewSwitchSignalOnce()
    {
        VSearchBar search;
        QSignalSpy spy(&search, &VSearchBar::signalSearch);
        search.lineEdit()->setText(QStringLiteral(" 教案 "));
        QTest::keyClick(search.lineEdit(), Qt::Key_Return);
        search.findChild<QToolButton *>(QStringLiteral("toolButton"))->click();
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.first().at(0).toString(), QStringLiteral("教案"));

        VShousuoBar view;
        QSignalSpy shitu(&view, &VShousuoBar::signalIsShitu);
        QSignalSpy pane(&view, &VShousuoBar::signalIsShousuo);
        view.findChild<QToolButton *>(QStringLiteral("toolButton"))->click();
        view.findChild<QToolButton *>(QStringLiteral("toolButton_2"))->click();
        QCOMPARE(shitu.size(), 1);
        QVERIFY(shitu.first().at(0).toBool());
        QCOMPARE(pane.size(), 1);

        VOpBar ops;
        QSignalSpy op(&ops, &VOpBar::signalOp);
        ops.button(3)->click();
        ops.button(4)->click();
        QCOMPARE(op.size(), 2);
        QCOMPARE(op.at(0).at(0).toInt(), 3);
        QCOMPARE(ops.button(4)->objectName(), QStringLiteral("toolButton_rename"));
        QCOMPARE(op.at(1).at(0).toInt(), 4);
    }

    void gridCtrlAOnlyWithBothKeys()
    {
        VGrid grid;
        grid.addColumn(QStringLiteral("名称"), true, 100, 0);
        grid.addColumn(QStringLiteral("大小"), true, 80, 100, true);
        QVERIFY(grid.isEmptyShown());
        for (int i = 0; i < 4; ++i)
            grid.addRow(new QLabel(QStringLiteral("row %1").arg(i)));
        QVERIFY(!grid.isEmptyShown());
        QListWidget *list = grid.listWidget();
        QSignalSpy sel(&grid, &VGrid::signalSelectedItems);

        QTest::keyPress(list, Qt::Key_A);
        QTest::keyRelease(list, Qt::Key_A);
        QCOMPARE(list->selectedItems().size(), 0);

        // Ctrl released before A: nothing
        QTest::keyPress(list, Qt::Key_Control);
        QTest::keyRelease(list, Qt::Key_Control);
        QTest::keyPress(list, Qt::Key_A);
        QTest::keyRelease(list, Qt::Key_A);
        QCOMPARE(list->selectedItems().size(), 0);

        QTest::keyPress(list, Qt::Key_Control);
        QTest::keyPress(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->selectedItems().size(), 4);
        QTest::keyRelease(list, Qt::Key_A, Qt::ControlModifier);
        QTest::keyRelease(list, Qt::Key_Control);
        QVERIFY(grid.allCheckBox()->isChecked());
        QVERIFY(sel.size() > 0);

        grid.slotAllChecked(false);
        QCOMPARE(list->selectedItems().size(), 0);
    }

    void gridHeaderSort()
    {
        VGrid grid;
        VGrid_head_item *name = grid.addColumn(QStringLiteral("名称"), true, 100, 0);
        VGrid_head_item *size = grid.addColumn(QStringLiteral("大小"), false, 80, 100);
        grid.resize(600, 300);
        grid.show();
        QSignalSpy spy(&grid, &VGrid::signalSortParams);
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::mouseClick(size, Qt::LeftButton); // not sortable
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(1).at(1).toInt(), 1 - spy.at(0).at(1).toInt());
    }

    void opBarPermissionMask_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QList<bool>>("enabled"); // ops 0..7
        QTest::newRow("none") << "0" << QList<bool>{false, false, false, false, false, false, false, false};
        // 16 upload + 2 create + 32 download = "110010"
        QTest::newRow("upload create download")
            << "110010" << QList<bool>{true, true, false, true, false, false, false, false};
        QTest::newRow("all nine") << "111111111" << QList<bool>{true, true, true, true, true, true, true, true};
        // 256 copy only
        QTest::newRow("copy") << "100000000" << QList<bool>{false, false, false, false, false, false, true, false};
        // any character but "0" grants: "2" copy, "x" move, "9" create
        QTest::newRow("other characters") << "2x0000090"
                                          << QList<bool>{false, true, false, false, false, false, true, true};
    }

    void opBarPermissionMask()
    {
        QFETCH(QString, code);
        QFETCH(QList<bool>, enabled);
        VOpBar bar;
        bar.applyPermission(code);
        for (int op = 0; op < 8; ++op)
            QVERIFY2(bar.button(op)->isEnabled() == enabled.at(op), qPrintable(QString::number(op)));
    }

    void dialogSkipFlagAndMessage()
    {
        VDialog d;
        d.setKind(QStringLiteral("test-kind"));
        d.setCheckBoxText(QStringLiteral("不再提示"));
        QVERIFY(!VDialog::isSkipped(QStringLiteral("test-kind")));
        d.findChild<QCheckBox *>(QStringLiteral("checkBox"))->setChecked(true);
        QVERIFY(VDialog::isSkipped(QStringLiteral("test-kind")));
        d.showMessage(QStringLiteral("<b>x</b>"));
        QCOMPARE(d.message(), QStringLiteral("<font color=red>&lt;b&gt;x&lt;/b&gt;</font>"));
        QPushButton *b = d.createButton(QStringLiteral("一"), 2);
        QVERIFY(b->styleSheet().contains(QLatin1String("#0081DD")));
        d.createButton(QStringLiteral("二"));
        d.createButton(QStringLiteral("三"));
        QVERIFY(!d.createButton(QStringLiteral("四")));
    }

    void dialogOpenSuppressesToastFlag()
    {
        VGlobalParameter *g = VGlobalParameter::instance();
        {
            VPrompt a;
            VPrompt b;
            a.show();
            b.show();
            QVERIFY(g->isDialogShowing());
            b.hide();
            QVERIFY(g->isDialogShowing());
            a.hide();
        }
        QVERIFY(!g->isDialogShowing());
    }

    void promptReturnActsAsOk()
    {
        VPrompt p;
        p.setType(1);
        QSignalSpy spy(&p, &VPrompt::signalConfirmed);
        QTest::keyClick(p.lineEdit(), Qt::Key_Return);
        QCOMPARE(spy.size(), 0); // an empty name is refused
        p.lineEdit()->setText(QStringLiteral("新建"));
        QTest::keyClick(p.lineEdit(), Qt::Key_Return);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(1).toString(), QStringLiteral("新建"));
        QTest::keyClick(p.lineEdit(), Qt::Key_Return); // busy: sent once
        QCOMPARE(spy.size(), 1);
        // the envelope's "Code"/"Msg": a failure keeps the prompt with its text
        p.slotGetWpResult(QJsonObject{{"Code", 1}, {"Msg", "同名文件夹已存在"}});
        QVERIFY(p.message().contains(QStringLiteral("同名文件夹已存在")));
        QVERIFY(p.result() != QDialog::Accepted);
        // names no file system takes stay in the prompt
        for (const char *bad : {"a/b", "a\\b", "a:b", "x*", "?", "\"q\"", "<a>", "a|b", ".", ".."}) {
            p.lineEdit()->setText(QString::fromUtf8(bad));
            QTest::keyClick(p.lineEdit(), Qt::Key_Return);
            QVERIFY2(!p.message().isEmpty(), bad);
        }
        QCOMPARE(spy.size(), 1);
        p.slotGetWpResult(QJsonObject{{"Code", 0}, {"Msg", "队列任务处理中，请稍后"}});
        QCOMPARE(p.result(), int(QDialog::Accepted));
    }

    void permissionList()
    {
        VUserIconList l;
        l.setList(QJsonArray{QJsonObject{{"qxuname", "张老师"}, {"qxutype", "1"}},
                             QJsonObject{{"qxuname", "教师组"}, {"qxutype", 3}}},
                  true);
        QCOMPARE(l.itemCount(), 2);
        QVERIFY(l.showsInherited());
        l.setList(QJsonArray{}, false);
        QCOMPARE(l.itemCount(), 0);
        QVERIFY(!l.showsInherited());
    }
};

QTEST_MAIN(TestVWidgets)
#include "tst_vwidgets.moc"
