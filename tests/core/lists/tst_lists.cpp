// The deciding parts of the recycle bin, recent and favourites pages: what a
// finished restore or delete means to the user, client-side sorting and
// paging, and what may be done with entries of deleted files and folders.
#include "lists/vlistrules.h"
#include "lists/vpagedlist.h"
#include "lists/vrecycleresult.h"
#include "records/m_api_act.h"
#include "records/m_api_visit.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

namespace {
QJsonObject item(const QString &id, int code, const QString &msg = QString())
{
    return QJsonObject{{"id", id}, {"code", code}, {"msg", msg}, {"path", "/1001/sharedisk/d/" + id + ".txt"}};
}
M_api_act act(const QJsonArray &filelist)
{
    M_api_act a;
    a.id = "1";
    a.status = 99;
    a.data = QJsonObject{{"filelist", filelist}};
    return a;
}
QJsonArray numbered(int n)
{
    QJsonArray a;
    for (int i = 0; i < n; ++i)
        a.append(QJsonObject{{"id", QString::number(i)}, {"filename", QStringLiteral("f%1").arg(i)}, {"filesize", i}});
    return a;
}
} // namespace

class TstLists : public QObject
{
    Q_OBJECT
private slots:
    void recycleResult_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<bool>("followup");
        QTest::addColumn<QJsonArray>("filelist");
        QTest::addColumn<QString>("success");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("failed");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("refetch");

        QTest::newRow("restore one") << true << false << QJsonArray{item("a", 0)} << "成功还原1项数据" << ""
                                     << QStringList() << QStringList() << true;
        QTest::newRow("restore: ok, clash, parent gone")
            << true << false << QJsonArray{item("a", 0), item("b", 5, "同名"), item("c", 2, "原位置已不存在")} << ""
            << "" << QStringList{"c"} << QStringList{"b"} << true;
        QTest::newRow("restore: only a clash asks, says no success")
            << true << false << QJsonArray{item("b", 5)} << "" << "" << QStringList() << QStringList{"b"} << false;
        QTest::newRow("keep-both round: a clash is a failure, never a new question")
            << true << true << QJsonArray{item("b", 5, "仍然重名")} << "" << "" << QStringList{"b"} << QStringList()
            << false;
        QTest::newRow("restore: nothing handled is an error")
            << true << false << QJsonArray() << "" << "还原失败，没有处理任何数据" << QStringList() << QStringList()
            << false;
        QTest::newRow("delete two") << false << false << QJsonArray{item("a", 0), item("b", 0)} << "成功清理2项数据"
                                    << "" << QStringList() << QStringList() << true;
        QTest::newRow("delete: one of two")
            << false << false << QJsonArray{item("a", 0), item("b", 3, "只能处理自己删除的文件")}
            << "成功清理1项数据,失败1项数据" << "" << QStringList{"b"} << QStringList() << true;
        QTest::newRow("delete: none went through")
            << false << false << QJsonArray{item("a", 2, "回收站中不存在该项")} << ""
            << "清理失败：a.txt：回收站中不存在该项" << QStringList{"a"} << QStringList() << false;
        QTest::newRow("delete: nothing handled") << false << false << QJsonArray() << ""
                                                 << "清理失败，没有处理任何数据" << QStringList() << QStringList() << false;
    }
    void recycleResult()
    {
        QFETCH(bool, restore);
        QFETCH(bool, followup);
        QFETCH(QJsonArray, filelist);
        QFETCH(QString, success);
        QFETCH(QString, error);
        QFETCH(QStringList, failed);
        QFETCH(QStringList, asked);
        QFETCH(bool, refetch);
        const VRecycleResult r = VRecycleResult::decide(restore ? VRecycleResult::Restore : VRecycleResult::Delete,
                                                        act(filelist), followup);
        QCOMPARE(r.successText, success);
        QCOMPARE(r.errorText, error);
        QCOMPARE(VRecycleResult::ids(r.failures), failed);
        QCOMPARE(VRecycleResult::ids(r.conflicts), asked);
        QCOMPARE(r.refetch, refetch);
        // restores list their failures in the dialog; deletes say it in the toast
        QCOMPARE(r.showFailureDialog, restore && !failed.isEmpty());
        // never a success toast together with an error toast
        QVERIFY(r.successText.isEmpty() || r.errorText.isEmpty());
    }

    void actDataAsText()
    {
        // The service sends the act's data as JSON text.
        const QJsonObject record{{"id", "7"}, {"status", 99},
                                 {"data", R"({"filelist":[{"id":"9","code":0},{"id":"8","code":5,"msg":"x"}]})"}};
        const VRecycleResult r = VRecycleResult::decide(VRecycleResult::Restore, M_api_act(record), false);
        QCOMPARE(r.successes, 1);
        QCOMPARE(VRecycleResult::ids(r.conflicts), QStringList{"8"});
    }

    void pagingWithoutRefetch_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("lastPageRows");
        QTest::newRow("empty") << 0 << 1 << 0;
        QTest::newRow("100 on one page") << 100 << 1 << 100;
        QTest::newRow("101 on two pages") << 101 << 2 << 1;
        QTest::newRow("250") << 250 << 3 << 50;
    }
    void pagingWithoutRefetch()
    {
        QFETCH(int, count);
        QFETCH(int, pages);
        QFETCH(int, lastPageRows);
        VPagedList list({{"filename", false}, {"deltime", false}, {"filesize", true}});
        QSignalSpy ready(&list, &VPagedList::signalPageReady);
        list.setItems(numbered(count));
        QVERIFY(ready.wait());
        QCOMPARE(list.pageCount(), pages);
        QCOMPARE(list.pageItems().size(), qMin(count, 100));
        list.setPage(pages + 5); // clamped
        QCOMPARE(list.page(), pages);
        QCOMPARE(list.pageItems().size(), lastPageRows);
        list.setPage(-1);
        QCOMPARE(list.page(), 1);
    }

    void sortKeysAndOnlyTheNewestBuild()
    {
        VPagedList list({{"filename", false}, {"deltime", false}, {"filesize", true}});
        QJsonArray items{QJsonObject{{"id", "1"}, {"filename", "file10"}, {"filesize", 9}},
                         QJsonObject{{"id", "2"}, {"filename", "file9"}, {"filesize", 10}},
                         QJsonObject{{"id", "3"}, {"filename", "File1"}, {"filesize", 1000}}};
        QSignalSpy ready(&list, &VPagedList::signalPageReady);
        list.setItems(items);
        QVERIFY(ready.wait());
        auto ids = [&list] {
            QStringList out;
            for (const QJsonValue &v : list.pageItems())
                out << v.toObject().value("id").toString();
            return out;
        };
        // names in numeric order, sizes as numbers (text order would put 1000 before 9)
        QCOMPARE(ids(), (QStringList{"3", "2", "1"}));
        // three sorts in a row: only the last one's page is handed out
        ready.clear();
        list.setSortColumn(1, true);
        list.setSortColumn(3, true);
        QVERIFY(!list.setSortColumn(4, false)); // deleter: not sortable
        list.setSortColumn(3, false);
        QTRY_VERIFY(!list.isSorting());
        QTRY_COMPARE(ready.size(), 1);
        QCOMPARE(ready.first().at(0).toULongLong(), list.buildId());
        QCOMPARE(ids(), (QStringList{"1", "2", "3"}));
        // an unsorted list keeps the server's order (the visits, newest first)
        VPagedList plain({});
        QSignalSpy plainReady(&plain, &VPagedList::signalPageReady);
        plain.setItems(items);
        QVERIFY(plainReady.wait());
        QCOMPARE(plain.pageItems(), items);
    }

    void refusals_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<bool>("isdir");
        QTest::addColumn<QString>("message");
        QTest::newRow("preview a file") << int(VListRules::Preview) << false << false << "";
        QTest::newRow("download a folder") << int(VListRules::Download) << false << true << "";
        QTest::newRow("preview a deleted file") << int(VListRules::Preview) << true << false << "文件已删除，无法预览";
        QTest::newRow("download a deleted file") << int(VListRules::Download) << true << false << "文件已删除，无法下载";
        QTest::newRow("edit a deleted file") << int(VListRules::Edit) << true << false << "文件已删除，无法编辑";
        QTest::newRow("preview a folder") << int(VListRules::Preview) << false << true << "文件夹不支持在线预览";
        QTest::newRow("edit a folder") << int(VListRules::Edit) << false << true << "文件夹不支持本地编辑";
    }
    void refusals()
    {
        QFETCH(int, op);
        QFETCH(bool, deleted);
        QFETCH(bool, isdir);
        QFETCH(QString, message);
        QCOMPARE(VListRules::refusal(VListRules::Op(op), deleted, isdir), message);
    }

    void paths_data()
    {
        QTest::addColumn<QString>("fullpath");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("link");
        QTest::newRow("file in a folder") << "/1001/sharedisk/临时资料/旧资料1.docx" << "/临时资料/"
                                          << "公共网盘/临时资料/";
        QTest::newRow("folder at the root") << "/1001/sharedisk/废弃文件夹" << "/" << "公共网盘/";
        QTest::newRow("deep") << "/1001/sharedisk/a/b/c.txt" << "/a/b/" << "公共网盘/a/b/";
        QTest::newRow("empty") << "" << "/" << "公共网盘/";
    }
    void paths()
    {
        QFETCH(QString, fullpath);
        QFETCH(QString, folder);
        QFETCH(QString, link);
        QCOMPARE(VListRules::containingFolder(fullpath), folder);
        QCOMPARE(VListRules::linkText("sharedisk", fullpath), link);
    }

    void folderVisits()
    {
        QVERIFY(M_api_visit(QJsonObject{{"isdir", true}}).isdir);
        QVERIFY(M_api_visit(QJsonObject{{"visittype", "浏览"}}).isdir);
        QVERIFY(!M_api_visit(QJsonObject{{"visittype", "预览"}}).isdir);
    }
};

QTEST_GUILESS_MAIN(TstLists)
#include "tst_lists.moc"
