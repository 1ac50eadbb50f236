// The transfer list page against the stand-in service: restore at start,
// tab counts and the menu badge, one dialog for every name clash, rows only
// for the page on screen, accessible names, the footer's bulk buttons.

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "Api/api.h"
#include "DB/db_self.h"
#include "chuanshuliebiao/vchuanshuliebiao.h"
#include "chuanshuliebiao/vchuanshuliebiao_done.h"
#include "chuanshuliebiao/vchuanshuliebiao_down.h"
#include "chuanshuliebiao/vchuanshuliebiao_exists.h"
#include "chuanshuliebiao/vchuanshuliebiao_item.h"
#include "chuanshuliebiao/vchuanshuliebiao_up.h"
#include "VWidgets/vdialog.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "testhome.h"
#include "apirunner.h"
#include "testserver.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vuploadtask.h"
#include "testshot.h"
#include "uitestsetup.h"

namespace {
const QString kFolder = QStringLiteral("/1001/sharedisk/");

QByteArray sha(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return TestServer::sha256Hex(f.readAll()).toLatin1();
}
} // namespace

class TestChuanshuliebiao : public QObject
{
    Q_OBJECT

    TestHome m_home;
    TestServer m_server;
    QTemporaryDir m_dir;
    db_self *m_store = nullptr;
    int m_n = 0;

    M_db_file uploadRecord(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("local/%1/%2").arg(++m_n).arg(name));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        M_db_file r;
        r.type = 2;
        r.filename = name;
        r.localpath = path;
        r.serverpath = kFolder;
        r.filesize = content.size();
        return r;
    }

    // Every clickable control under w that is shown has a name.
    static QStringList unnamed(QWidget *w)
    {
        QStringList out;
        for (QAbstractButton *b : w->findChildren<QAbstractButton *>()) {
            if (!b->isVisibleTo(w))
                continue;
            if (b->accessibleName().isEmpty() && b->text().isEmpty() && b->toolTip().isEmpty())
                out << b->objectName();
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
        QString err;
        const QString token = signInClient(m_server, &err);
        QVERIFY2(!token.isEmpty(), qPrintable(err));
        VTransferThrottle::followConfig(); // once: later workers leave the limits to the test
        VTransferThrottle::upload()->setLimit(0);
        m_store = new db_self(m_dir.filePath(QStringLiteral("user")));
        QVERIFY(m_store->isReady());
        m_store->connectHub();
    }
    void init()
    {
        M_config::instance()->Transfer_threadcount_upload = 2;
        M_config::instance()->Transfer_threadcount_download = 2;
        VGlobalQueue::instance()->clearUploads();
        VGlobalQueue::instance()->clearDownloads();
        m_store->clearUploadRows();
        m_store->clearDownloadRows();
        m_store->clearDoneRows();
    }
    void cleanupTestCase() { delete m_store; }

    // Rows of the log come back at start: paused when continuing is off (and
    // start resumes them), running at once when it is on. A batch of small
    // files among them goes up five at a time and comes back down through the
    // download rows, byte for byte both ways; never more than five run.
    void restore_data()
    {
        QTest::addColumn<bool>("isContinue");
        QTest::newRow("continue off") << false;
        QTest::newRow("continue on") << true;
    }
    void restore()
    {
        QFETCH(bool, isContinue);
        M_config::instance()->Normal_isContinue = isContinue;
        const QString tag = isContinue ? QStringLiteral("on") : QStringLiteral("off");
        M_config::instance()->Transfer_threadcount_upload = 5;
        M_config::instance()->Transfer_threadcount_download = 5;
        QList<M_db_file> list{uploadRecord(QStringLiteral("r1-%1.txt").arg(tag), "restored one"),
                              uploadRecord(QStringLiteral("r2-%1.txt").arg(tag), QByteArray(300000, 'r'))};
        constexpr int kBatch = 40;
        QRandomGenerator gen(isContinue ? 7 : 8);
        for (int i = 0; i < kBatch; ++i) {
            // Each its own content: none completes as an instant upload.
            QByteArray content(4096 + i, Qt::Uninitialized);
            for (char &c : content)
                c = char(gen.generate());
            list << uploadRecord(QStringLiteral("b%1-%2.bin").arg(i).arg(tag), content);
        }
        const int total = list.size();
        QCOMPARE(m_store->addFiles(list, 0, true), total); // no page yet: nobody takes them now
        int mostUp = 0, mostDown = 0;
        QMetaObject::Connection watchUp = connect(
            VGlobalConnect::instance(), QOverload<int>::of(&VGlobalConnect::signalStartUpload), this,
            [&] { mostUp = qMax(mostUp, VGlobalQueue::instance()->uploadWorking().size()); });
        QMetaObject::Connection watchDown = connect(
            VGlobalConnect::instance(), QOverload<int>::of(&VGlobalConnect::signalStartDownload), this,
            [&] { mostDown = qMax(mostDown, VGlobalQueue::instance()->downloadWorking().size()); });
        QSignalSpy badge(VGlobalConnect::instance(), &VGlobalConnect::signalTaskChange);
        VChuanshuliebiao page(nullptr, m_store);
        page.resize(900, 500);
        page.show();
        QCOMPARE(page.upTab()->totalCount(), total);
        QVERIFY(!badge.isEmpty());
        QCOMPARE(badge.last().at(0).toInt(), total);
        if (!isContinue) {
            page.upTab()->syncNow();
            QCOMPARE(page.upTab()->rowCount(), total);
            auto *row = qobject_cast<VChuanshuliebiao_item *>(page.upTab()->rowAt(0));
            QVERIFY(row);
            QCOMPARE(row->task()->status(), 0);
            QVERIFY(row->accessibleName().contains(QStringLiteral("r1-off.txt")));
            QVERIFY(row->accessibleName().contains(QStringLiteral("暂停")));
            auto *start = page.findChild<QPushButton *>(QStringLiteral("pushButton_start"));
            start->click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(page.upTab()->totalCount(), 0, 120000);
        QCOMPARE(page.doneTab()->totalCount(), total);
        QList<M_db_file> downs;
        for (const M_db_file &r : list) {
            const QJsonObject st = m_server.stat(kFolder + r.filename);
            QCOMPARE(st.value(QStringLiteral("sha256")).toString().toLatin1(), sha(r.localpath));
            M_db_file d;
            d.type = 1;
            d.fileid = st.value(QStringLiteral("id")).toVariant().toString();
            d.filename = r.filename;
            d.localpath = m_dir.filePath(QStringLiteral("back-%1/").arg(tag) + r.filename);
            d.filesize = r.filesize;
            downs << d;
        }
        QCOMPARE(badge.last().at(0).toInt(), 0);
        QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("pushButton_done"))->text(),
                 QStringLiteral("传输完成(%1)").arg(total));
        QCOMPARE(mostUp, 5);

        emit VGlobalConnect::instance()->signalDbselfAddFiles(downs, 0, true);
        QTRY_COMPARE_WITH_TIMEOUT(page.downTab()->totalCount(), 0, 120000);
        QCOMPARE(page.doneTab()->totalCount(), 2 * total);
        // Compared where each finished row says its file went.
        QHash<QString, QString> saved;
        for (const M_db_file &f : m_store->getDone())
            if (f.type == 1)
                saved.insert(f.fileid, f.localpath);
        QCOMPARE(saved.size(), total);
        for (int i = 0; i < total; ++i)
            QCOMPARE(sha(saved.value(downs.at(i).fileid)), sha(list.at(i).localpath));
        QCOMPARE(mostDown, 5);
        disconnect(watchUp);
        disconnect(watchDown);
    }

    // Two rows clash while the dialog is open: one dialog asks for both;
    // "keep both" for all gives both new names.
    void oneDialogForClashes()
    {
        M_config::instance()->Normal_isContinue = false;
        QVERIFY(!m_server.uploadFile(Api::instance()->token(), kFolder, QStringLiteral("x1.txt"), "old").isEmpty());
        QVERIFY(!m_server.uploadFile(Api::instance()->token(), kFolder, QStringLiteral("x2.txt"), "old").isEmpty());
        QWidget window;
        window.resize(900, 500);
        auto *page = new VChuanshuliebiao(&window, m_store);
        page->resize(900, 500);
        window.show();
        const M_db_file a = uploadRecord(QStringLiteral("x1.txt"), "new one");
        const M_db_file b = uploadRecord(QStringLiteral("x2.txt"), "new two");
        emit VGlobalConnect::instance()->signalDbselfAddFiles({a, b}, 0, true);
        QTRY_VERIFY_WITH_TIMEOUT(page->upTab()->existsDialog() && page->upTab()->list()->clashes().size() == 2, 30000);
        QCOMPARE(window.findChildren<VChuanshuliebiao_exists *>().size(), 1);
        VChuanshuliebiao_exists *dlg = page->upTab()->existsDialog();
        // The row that asked first is in front; either may have been first.
        QVERIFY(dlg->text().contains(QStringLiteral("x1.txt")) || dlg->text().contains(QStringLiteral("x2.txt")));
        QVERIFY(dlg->text().contains(QStringLiteral("还有1个")));
        QCOMPARE(unnamed(dlg), QStringList());
        dlg->setApplyToAll(true);
        dlg->findChild<QPushButton *>(QStringLiteral("pushButton_rename"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(page->upTab()->totalCount(), 0, 30000);
        QTRY_VERIFY(!page->upTab()->existsDialog());
        QCOMPARE(m_server.stat(kFolder + QStringLiteral("x1(1).txt")).value(QStringLiteral("sha256")).toString(),
                 TestServer::sha256Hex("new one"));
        QCOMPARE(m_server.stat(kFolder + QStringLiteral("x2(1).txt")).value(QStringLiteral("sha256")).toString(),
                 TestServer::sha256Hex("new two"));
    }

    // Closing the dialog without a choice stops both rows and frees their
    // slots: the third row, without a clash, runs.
    void dismissFreesSlots()
    {
        QVERIFY(!m_server.uploadFile(Api::instance()->token(), kFolder, QStringLiteral("y1.txt"), "old").isEmpty());
        QVERIFY(!m_server.uploadFile(Api::instance()->token(), kFolder, QStringLiteral("y2.txt"), "old").isEmpty());
        QWidget window;
        auto *page = new VChuanshuliebiao(&window, m_store);
        window.resize(900, 500);
        window.show();
        emit VGlobalConnect::instance()->signalDbselfAddFiles(
            {uploadRecord(QStringLiteral("y1.txt"), "1"), uploadRecord(QStringLiteral("y2.txt"), "2"),
             uploadRecord(QStringLiteral("y3.txt"), "3")},
            0, true);
        QTRY_VERIFY_WITH_TIMEOUT(page->upTab()->list()->clashes().size() == 2, 30000);
        page->upTab()->existsDialog()->reject();
        QTRY_COMPARE_WITH_TIMEOUT(page->upTab()->totalCount(), 2, 30000);
        QCOMPARE(page->upTab()->list()->at(0)->status(), 0);
        QCOMPARE(page->upTab()->list()->at(1)->status(), 0);
        QCOMPARE(VGlobalQueue::instance()->uploadWorking(), QList<int>());
        QVERIFY(!m_server.stat(kFolder + QStringLiteral("y3.txt")).isEmpty());
    }

    // 10 000 records: one page of row widgets, the pager for the rest, start
    // and stop over all of them by status (rows off screen included).
    void manyRecordsOnePage()
    {
        M_config::instance()->Normal_isContinue = false;
        VChuanshuliebiao page(nullptr, m_store);
        page.resize(900, 600);
        emit VGlobalConnect::instance()->signalStopUpload(); // rows wait for the user
        QList<M_db_file> list;
        for (int i = 0; i < 10000; ++i) {
            M_db_file r;
            r.type = 2;
            r.filename = QStringLiteral("many-%1.txt").arg(i);
            r.localpath = m_dir.filePath(QStringLiteral("missing/") + r.filename);
            r.serverpath = kFolder;
            list << r;
        }
        emit VGlobalConnect::instance()->signalDbselfAddFiles(list, 0, true);
        QCOMPARE(page.upTab()->totalCount(), 10000);
        // Nobody sees the page yet: it makes its rows once it is shown.
        QTest::qWait(300);
        QCOMPARE(page.upTab()->rowCount(), 0);
        page.show();
        QTRY_COMPARE(page.upTab()->rowCount(), 100);
        QCOMPARE(page.upTab()->pageCount(), 100);
        QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("pushButton_up"))->text(), QStringLiteral("正在上传(999+)"));
        page.upTab()->setCurrentPage(100);
        QCOMPARE(page.upTab()->rowCount(), 100);
        auto *last = qobject_cast<VChuanshuliebiao_item *>(page.upTab()->rowAt(99));
        QVERIFY(last->accessibleName().startsWith(QStringLiteral("many-9999.txt")));
        // Stop-all is in force: none started, none holds a slot.
        QCOMPARE(page.upTab()->list()->countActive(), 0);
        QCOMPARE(unnamed(&page), QStringList());
        // Cancel everything: the log has no unfinished uploads left.
        page.upTab()->list()->cancelAll();
        QCOMPARE(page.upTab()->totalCount(), 0);
        QCOMPARE(m_store->getUploads().size(), 0);
    }

    // The finished tab: removing an entry deletes its log row; clear empties
    // it; the state reads "上传完成" or "秒传完成" and opening a file that is
    // gone says so.
    void finishedTab()
    {
        M_config::instance()->Normal_isContinue = true;
        VChuanshuliebiao page(nullptr, m_store);
        page.resize(900, 500);
        page.show();
        const M_db_file a = uploadRecord(QStringLiteral("fin-a.txt"), "finished content");
        const M_db_file b = uploadRecord(QStringLiteral("fin-b.txt"), "finished content");
        emit VGlobalConnect::instance()->signalDbselfAddFiles({a}, 0, true);
        QTRY_COMPARE_WITH_TIMEOUT(page.doneTab()->totalCount(), 1, 30000);
        emit VGlobalConnect::instance()->signalDbselfAddFiles({b}, 0, true);
        QTRY_COMPARE_WITH_TIMEOUT(page.doneTab()->totalCount(), 2, 30000);
        page.findChild<QPushButton *>(QStringLiteral("pushButton_done"))->click();
        page.doneTab()->syncNow();
        auto *rowA = qobject_cast<VChuanshuliebiao_done_item *>(page.doneTab()->rowAt(0));
        auto *rowB = qobject_cast<VChuanshuliebiao_done_item *>(page.doneTab()->rowAt(1));
        QVERIFY(rowA && rowB);
        QCOMPARE(VChuanshuliebiao_done_item::stateText(rowA->record()), QStringLiteral("上传完成"));
        QCOMPARE(VChuanshuliebiao_done_item::stateText(rowB->record()), QStringLiteral("秒传完成"));
        QCOMPARE(unnamed(&page), QStringList());
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QFile::remove(b.localpath);
        rowB->findChild<QAbstractButton *>(QStringLiteral("toolButton_open"))->click();
        QCOMPARE(err.size(), 1);
        QCOMPARE(err.first().at(0).toString(), QStringLiteral("文件不存在"));
        const int idA = rowA->record().id;
        rowA->findChild<QAbstractButton *>(QStringLiteral("toolButton_cancle"))->click();
        QCOMPARE(page.doneTab()->totalCount(), 1);
        QCOMPARE(m_store->getFile(idA).id, 0);
        page.findChild<QPushButton *>(QStringLiteral("pushButton_clear"))->click();
        QCOMPARE(page.doneTab()->totalCount(), 0);
        QCOMPARE(m_store->getDone().size(), 0);
        QTRY_COMPARE(page.doneTab()->rowCount(), 0);
    }

    // Every kind of row at once, as a user sees them: running, waiting,
    // paused and failed uploads and downloads, finished ones, the footer and
    // the name question. Each row's label says what the row really is.
    void rowsInEveryState()
    {
        M_config::instance()->Normal_isContinue = true;
        M_config::instance()->Transfer_threadcount_upload = 1;
        M_config::instance()->Transfer_threadcount_download = 1;
        VTransferThrottle::upload()->setLimit(256 * 1024);
        VTransferThrottle::download()->setLimit(256 * 1024);
        const QString token = Api::instance()->token();
        // Finished first: an upload, the same content again (instant), a download.
        QWidget window;
        window.setWindowTitle(QStringLiteral("传输列表"));
        auto *v = new QVBoxLayout(&window);
        v->setContentsMargins(0, 0, 0, 0);
        auto *page = new VChuanshuliebiao(&window, m_store);
        v->addWidget(page);
        window.resize(1000, 560);
        window.show();
        emit VGlobalConnect::instance()->signalDbselfAddFiles({uploadRecord(QStringLiteral("教学计划.docx"), "计划 v1")}, 0, true);
        QTRY_COMPARE_WITH_TIMEOUT(page->doneTab()->totalCount(), 1, 30000);
        emit VGlobalConnect::instance()->signalDbselfAddFiles({uploadRecord(QStringLiteral("教学计划-副本.docx"), "计划 v1")}, 0, true);
        QTRY_COMPARE_WITH_TIMEOUT(page->doneTab()->totalCount(), 2, 30000);
        const QString small = m_server.uploadFile(token, kFolder, QStringLiteral("成绩汇总.xlsx"), QByteArray(5000, 's'));
        M_db_file d0;
        d0.type = 1;
        d0.fileid = small;
        d0.filename = QStringLiteral("成绩汇总.xlsx");
        d0.localpath = m_dir.filePath(QStringLiteral("dl/成绩汇总.xlsx"));
        d0.filesize = 5000;
        emit VGlobalConnect::instance()->signalDbselfAddFiles({d0}, 0, true);
        QTRY_COMPARE_WITH_TIMEOUT(page->doneTab()->totalCount(), 3, 30000);

        // Uploads: one failed, one running (slowed down), one waiting, one paused.
        M_db_file gone = uploadRecord(QStringLiteral("班会照片.zip"), "gone soon");
        QFile::remove(gone.localpath);
        emit VGlobalConnect::instance()->signalDbselfAddFiles({gone}, 0, true);
        VTransferTaskList *ul = page->upTab()->list();
        QTRY_COMPARE_WITH_TIMEOUT(ul->at(0)->status(), -1, 30000);
        QByteArray big(6 * 1048576, Qt::Uninitialized);
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 + (i >> 11));
        emit VGlobalConnect::instance()->signalDbselfAddFiles(
            {uploadRecord(QStringLiteral("期末复习课件.pptx"), big), uploadRecord(QStringLiteral("学生名单.xlsx"), big.left(3000000)),
             uploadRecord(QStringLiteral("实验报告.pdf"), big.left(2000000))},
            0, true);
        QTRY_VERIFY_WITH_TIMEOUT(ul->at(1)->status() == 2, 30000);
        ul->at(3)->stop();
        QCOMPARE(ul->at(3)->status(), 0);
        QCOMPARE(ul->at(2)->status(), 88);

        // Downloads: one running, one paused, one failed (no such file).
        QByteArray dbig(8 * 1048576, 'd');
        const QString bigId = m_server.uploadFile(token, kFolder, QStringLiteral("校本教材.pdf"), dbig);
        QList<M_db_file> downs;
        for (const auto &p : {qMakePair(bigId, QStringLiteral("校本教材.pdf")), qMakePair(small, QStringLiteral("成绩汇总(2).xlsx")),
                              qMakePair(QStringLiteral("999999"), QStringLiteral("已删除的文件.doc"))}) {
            M_db_file d;
            d.type = 1;
            d.fileid = p.first;
            d.filename = p.second;
            d.localpath = m_dir.filePath(QStringLiteral("dl2/") + p.second);
            d.filesize = p.first == bigId ? dbig.size() : 5000;
            downs << d;
        }
        emit VGlobalConnect::instance()->signalStopDownload(); // the user paused downloads
        emit VGlobalConnect::instance()->signalDbselfAddFiles(downs, 0, true);
        VTransferTaskList *dl = page->downTab()->list();
        dl->at(2)->start();
        QTRY_COMPARE_WITH_TIMEOUT(dl->at(2)->status(), -1, 30000);
        dl->at(0)->start();
        QTRY_VERIFY2_WITH_TIMEOUT(dl->at(0)->status() == 1 && dl->at(0)->progress().done() > 0, qPrintable(QStringLiteral("%1 %2 %3").arg(dl->count()).arg(dl->at(0)->status()).arg(dl->at(0)->record().error)), 30000);

        // A second of progress for the speed and time left.
        QTRY_VERIFY_WITH_TIMEOUT((ul->at(1)->sampleProgress(), ul->at(1)->progress().speed() > 0), 30000);
        page->upTab()->syncNow();
        const auto stateOf = [](VChuanshuliebiao_pagedlist *tab, int i) {
            return qobject_cast<VChuanshuliebiao_item *>(tab->rowAt(i))->stateText();
        };
        QVERIFY(stateOf(page->upTab(), 0).startsWith(QStringLiteral("上传出错")));
        QVERIFY(stateOf(page->upTab(), 0).contains(QStringLiteral("文件不存在")));
        QCOMPARE(stateOf(page->upTab(), 1), QStringLiteral("上传中"));
        QCOMPARE(stateOf(page->upTab(), 2), QStringLiteral("等待上传"));
        QCOMPARE(stateOf(page->upTab(), 3), QStringLiteral("暂停"));
        QCOMPARE(unnamed(&window), QStringList());
        // A click selects a row; the footer counts it.
        QTest::mouseClick(page->upTab()->rowAt(1), Qt::LeftButton, {}, QPoint(200, 20));
        QTest::mouseClick(page->upTab()->rowAt(2), Qt::LeftButton, Qt::ControlModifier, QPoint(200, 20));
        QCOMPARE(page->footerLabel()->text(), QStringLiteral("已选中2个文件/文件夹"));
        // The running row shows its progress within a tick of its timer.
        QTRY_VERIFY(!page->upTab()->rowAt(1)->findChild<QLabel *>(QStringLiteral("label"))->text().startsWith(QStringLiteral("0B")));
        saveShot(&window, QStringLiteral("transfer-uploads.png"));

        page->findChild<QPushButton *>(QStringLiteral("pushButton_down"))->click();
        page->downTab()->syncNow();
        QCOMPARE(stateOf(page->downTab(), 0), QStringLiteral("下载中"));
        QCOMPARE(stateOf(page->downTab(), 1), QStringLiteral("暂停"));
        QVERIFY(stateOf(page->downTab(), 2).startsWith(QStringLiteral("下载出错")));
        QCOMPARE(page->footerLabel()->text(), QStringLiteral("已选中0个文件/文件夹"));
        QTRY_VERIFY(!page->downTab()->rowAt(0)->findChild<QLabel *>(QStringLiteral("label"))->text().startsWith(QStringLiteral("0B")));
        saveShot(&window, QStringLiteral("transfer-downloads.png"));

        page->findChild<QPushButton *>(QStringLiteral("pushButton_done"))->click();
        page->doneTab()->syncNow();
        saveShot(&window, QStringLiteral("transfer-finished.png"));

        // The cancel-all question of the footer.
        page->findChild<QPushButton *>(QStringLiteral("pushButton_up"))->click();
        page->findChild<QPushButton *>(QStringLiteral("pushButton_cancel"))->click();
        auto *ask = window.findChild<VDialog *>(QStringLiteral("dialog_cancelall"));
        QVERIFY(ask);
        QCOMPARE(unnamed(ask), QStringList());
        saveShot(ask, QStringLiteral("transfer-cancel-all.png"));
        ask->reject();
        QCOMPARE(page->upTab()->totalCount(), 4); // nothing cancelled without a yes

        // The name question.
        VChuanshuliebiao_exists dlg(&window);
        dlg.setFile(QStringLiteral("期末复习课件<b>.pptx"), QStringLiteral("文件已存在"), 3);
        QVERIFY(dlg.text().contains(QStringLiteral("&lt;b&gt;")));
        dlg.show();
        saveShot(&dlg, QStringLiteral("transfer-exists.png"));
        dlg.closeQuietly();

        VTransferThrottle::upload()->setLimit(0);
        VTransferThrottle::download()->setLimit(0);
        emit VGlobalConnect::instance()->signalStopUpload();
        emit VGlobalConnect::instance()->signalStopDownload();
        QTRY_COMPARE_WITH_TIMEOUT(ul->countActive() + dl->countActive(), 0, 30000);
        M_config::instance()->Transfer_threadcount_upload = 2;
        M_config::instance()->Transfer_threadcount_download = 2;
    }
};

QTEST_MAIN(TestChuanshuliebiao)
#include "tst_vchuanshuliebiao.moc"
