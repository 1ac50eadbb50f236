// Open for editing and send back, end to end against the stand-in service:
// the edit copy is the disk's content byte for byte, a save with new content
// replaces the file in its own folder (same id, same digest as the local
// file), touching or saving the same content sends nothing, a file someone
// else changed meanwhile is never overwritten silently, unsent edits survive
// a reopen, and names from the server never leave the edit folder.

#include <QDesktopServices>
#include <QGuiApplication>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "Api/api.h"
#include "DB/db_self.h"
#include "context/vglobalparameter.h"
#include "context/vglobalresource.h"
#include "preview/veditback.h"
#include "records/m_config.h"
#include "records/metatypes.h"
#include "apirunner.h"
#include "testhome.h"
#include "testserver.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransfertasklist.h"
#include "transferlists.h"
#include "utils/vutils.h"

namespace {
const QString kRoot = QStringLiteral("/1001/sharedisk");
}

class TstEditBack : public QObject, TransferClient
{
    Q_OBJECT

    // What the test answers at the change prompt.
    enum Answer { Confirm, ConfirmAndTick, Cancel };
    Answer m_answer = Confirm;
    QStringList m_prompted;
    QStringList m_opened;

    QString serverFile(const QString &folder, const QString &name, const QByteArray &content, int uptype = 0,
                       const QString &token = QString())
    {
        QString err;
        const QString id = m_server.uploadFile(token.isEmpty() ? m_token : token, folder, name, content, uptype, &err);
        if (id.isEmpty())
            qWarning() << "uploadFile" << err;
        return id;
    }

    M_info_file info(const QString &id)
    {
        const QJsonObject r = m_server.call(QStringLiteral("api/v1/wp/file/info"), {{"fileid", id}}, m_token);
        return M_info_file(r.value(QStringLiteral("data")).toObject());
    }

    // Makes a folder in the root and waits until the act is carried out.
    bool addDir(const QString &name)
    {
        const QJsonObject r = m_server.call(QStringLiteral("api/v1/wp/act/add"),
                                            {{"acttype", "AddDir"}, {"filepath", kRoot}, {"dirname", name}}, m_token);
        const QString act = r.value("data").toObject().value("evtid").toString();
        if (act.isEmpty() || m_server.waitAct(m_token, act).isEmpty())
            return false;
        for (const QJsonValue &v : m_server.call("api/v1/wp/file/getlist", {{"filepath", kRoot}}, m_token)
                                       .value("data").toObject().value("list").toArray())
            if (v.toObject().value("filename").toString() == name)
                return true;
        return false;
    }

    QString sha(const QString &path) { return VUtils::fileSha256(path); }
    QString serverSha(const QString &id) { return info(id).md5.toLower(); }

    // Opens the file for editing and waits until its copy is watched.
    QString openCopy(const QString &id)
    {
        QSignalSpy watching(VEditBack::instance(), &VEditBack::signalWatching);
        VEditBack::instance()->open(info(id));
        [&] { QTRY_VERIFY_WITH_TIMEOUT(watching.count() >= 1, 30000); }();
        return watching.isEmpty() ? QString() : watching.first().first().toString();
    }

    // A save the way many programs do it: a new file renamed over the old one.
    static bool saveByRename(const QString &path, const QByteArray &content)
    {
        QSaveFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && f.commit();
    }

    // Waits until the save was read; answers whether it counted as new content.
    static bool waitChecked(QSignalSpy &checked, int before)
    {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(checked.count() > before, 30000); }();
        return checked.count() > before && checked.last().at(1).toBool();
    }

    // Waits until the upload of path ended with the disk holding digest.
    void waitUploaded(QSignalSpy &uploaded, int before, const QString &digest)
    {
        QTRY_VERIFY_WITH_TIMEOUT(uploaded.count() > before && uploaded.last().at(1).toString() == digest, 60000);
    }

    int saveFolderCount() const
    {
        return QDir(VGlobalParameter::instance()->userSavePath()).entryList(QDir::Files | QDir::NoDotAndDotDot).size();
    }

    VTransferTask *uploadRow(const QString &localpath) const
    {
        for (int i = 0; i < m_up->count(); ++i)
            if (m_up->at(i)->record().localpath == localpath)
                return m_up->at(i);
        return nullptr;
    }

public slots:
    void openedLocally(const QUrl &url) { m_opened << url.toLocalFile(); }

private slots:
    void initTestCase()
    {
        registerMetaTypes();
        QVERIFY(m_dir.isValid());
        QString err;
        m_token = startSignedIn(m_server, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
        M_config::instance()->Transfer_threadcount_upload = 2;
        M_config::instance()->Transfer_threadcount_download = 2;
        m_store = openTransferStore(m_dir.filePath(QStringLiteral("user")));
        QVERIFY(m_store);
        m_up = new VTransferTaskList(VTransferTaskList::Upload, m_store);
        m_down = new VTransferTaskList(VTransferTaskList::Download, m_store);
        // what the download list does when a copy to open has arrived
        connect(m_down, &VTransferTaskList::signalTaskDone, this, [](VTransferTask *t) {
            if (VGlobalResource::instance()->takeOpenAfterDownload(t->record().localpath, t->record().localpath))
                VUtils::openFile(t->record().localpath);
        });
        VEditBack::instance()->setStableInterval(100);
        // Nothing opens a program here: the copies are edited by the test.
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedLocally");
        connect(VEditBack::instance(), &VEditBack::signalFileChanged, this, [this](const QString &path) {
            m_prompted << path;
            VEditBack::instance()->answer(path, m_answer != Cancel, m_answer == ConfirmAndTick);
        });
    }
    void init()
    {
        m_answer = Confirm;
        m_prompted.clear();
        m_server.clearFaults();
    }
    void cleanupTestCase()
    {
        stopTransferLists(m_up, m_down);
        VEditBack::instance()->shutdown();
        QVERIFY(VGlobalResource::instance()->watcher()->files().isEmpty());
        QVERIFY(VGlobalResource::instance()->watcher()->directories().isEmpty());
    }

    // The copy is the disk's content, in its own folder per file id; two
    // saves by rename with the box ticked at the first prompt send both, the
    // second without asking, each replacing the same file in its folder.
    void savedTwiceByRename()
    {
        QVERIFY(addDir("编辑"));
        const QByteArray original = QByteArray("原稿 v1\n").repeated(5000);
        const QString id = serverFile(kRoot + "/编辑", "报告.docx", original);
        QVERIFY(!id.isEmpty());
        const QString path = openCopy(id);
        QCOMPARE(path, VEditBack::editFolder(id) + "/报告.docx");
        QVERIFY(path.contains("/cache/edit/" + id + "/"));
        QCOMPARE(sha(path), TestServer::sha256Hex(original));
        QTRY_VERIFY(m_opened.contains(path));

        QSignalSpy uploaded(VEditBack::instance(), &VEditBack::signalUploaded);
        m_answer = ConfirmAndTick;
        const QByteArray v2 = QByteArray("第二版\n").repeated(7000);
        QVERIFY(saveByRename(path, v2));
        waitUploaded(uploaded, 0, TestServer::sha256Hex(v2));
        QCOMPARE(m_prompted.size(), 1);
        QCOMPARE(serverSha(id), TestServer::sha256Hex(v2));
        QCOMPARE(m_server.stat(kRoot + "/编辑/报告.docx").value("id").toString(), id);
        QVERIFY(m_server.stat(kRoot + "/报告.docx").isEmpty()); // never a namesake at the root

        m_answer = Cancel; // a prompt now would send nothing: the test would hang
        const QByteArray v3 = QByteArray("第三版\n").repeated(3000);
        QVERIFY(saveByRename(path, v3));
        waitUploaded(uploaded, 1, TestServer::sha256Hex(v3));
        QCOMPARE(m_prompted.size(), 1);
        QCOMPARE(serverSha(id), TestServer::sha256Hex(v3));
        QCOMPARE(sha(path), TestServer::sha256Hex(v3));
        QTRY_COMPARE_WITH_TIMEOUT(saveFolderCount(), 0, 10000);
        QVERIFY(!VEditBack::instance()->isUploading(path));
    }

    // Touching the file, saving the same content, or cancelling the prompt
    // sends nothing.
    void nothingToSend()
    {
        const QByteArray content = QByteArray("不变的内容\n").repeated(100);
        const QString id = serverFile(kRoot, "不变.docx", content);
        const QString path = openCopy(id);
        QSignalSpy checked(VEditBack::instance(), &VEditBack::signalSaveChecked);
        QSignalSpy queued(VEditBack::instance(), &VEditBack::signalUploadQueued);

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(!waitChecked(checked, 0)); // touched
        QVERIFY(saveByRename(path, content));
        QVERIFY(!waitChecked(checked, 1)); // same content
        m_answer = Cancel;
        QVERIFY(saveByRename(path, "改了但取消"));
        QVERIFY(waitChecked(checked, 2));
        QCOMPARE(m_prompted.size(), 1);
        QVERIFY(saveByRename(path, "改了但取消")); // the same answer is not asked twice
        QVERIFY(!waitChecked(checked, 3));
        QCOMPARE(queued.count(), 0);
        QCOMPARE(serverSha(id), TestServer::sha256Hex(content));
    }

    // Someone else replaced the file while it was being edited: no silent
    // overwrite, even with "do not ask" ticked; keeping both leaves theirs.
    void changedOnTheDisk()
    {
        const QString id = serverFile(kRoot, "共编.docx", "原稿");
        const QString path = openCopy(id);
        QString err;
        const QString other = m_server.signIn(QStringLiteral("teacher"), QStringLiteral("teacher123"), 1001, &err);
        QVERIFY2(!other.isEmpty(), qPrintable(err));
        QCOMPARE(serverFile(kRoot, "共编.docx", "他人的修改", 1, other), id);
        const QString theirs = TestServer::sha256Hex("他人的修改");

        QSignalSpy conflict(VEditBack::instance(), &VEditBack::signalConflict);
        QSignalSpy uploaded(VEditBack::instance(), &VEditBack::signalUploaded);
        m_answer = ConfirmAndTick;
        QVERIFY(saveByRename(path, "我的修改"));
        QTRY_COMPARE_WITH_TIMEOUT(conflict.count(), 1, 30000);
        QCOMPARE(serverSha(id), theirs);
        // do-not-ask is on now, and still the changed disk is not overwritten
        QVERIFY(saveByRename(path, "我的修改 2"));
        QTRY_COMPARE_WITH_TIMEOUT(conflict.count(), 2, 30000);
        QCOMPARE(serverSha(id), theirs);

        VEditBack::instance()->upload(path, VEditBack::KeepBoth);
        waitUploaded(uploaded, 0, TestServer::sha256Hex("我的修改 2"));
        QCOMPARE(serverSha(id), theirs);
        const QJsonObject copy = m_server.stat(kRoot + "/共编(1).docx");
        QCOMPARE(copy.value("sha256").toString(), TestServer::sha256Hex("我的修改 2"));
        // an explicit overwrite replaces theirs
        VEditBack::instance()->upload(path, VEditBack::Overwrite);
        QTRY_COMPARE_WITH_TIMEOUT(serverSha(id), TestServer::sha256Hex("我的修改 2"), 60000);
    }

    // Same name, different folders: two edit folders, each sent to its own file.
    void sameNameTwoFolders()
    {
        QVERIFY(addDir("甲班"));
        QVERIFY(addDir("乙班"));
        const QString a = serverFile(kRoot + "/甲班", "作业.docx", "甲原稿");
        const QString b = serverFile(kRoot + "/乙班", "作业.docx", "乙原稿");
        const QString pa = openCopy(a);
        const QString pb = openCopy(b);
        QVERIFY(pa != pb);
        QCOMPARE(sha(pa), TestServer::sha256Hex("甲原稿"));
        QCOMPARE(sha(pb), TestServer::sha256Hex("乙原稿"));
        QSignalSpy uploaded(VEditBack::instance(), &VEditBack::signalUploaded);
        QVERIFY(saveByRename(pa, "甲改"));
        QVERIFY(saveByRename(pb, "乙改"));
        QTRY_COMPARE_WITH_TIMEOUT(uploaded.count(), 2, 60000);
        QCOMPARE(serverSha(a), TestServer::sha256Hex("甲改"));
        QCOMPARE(serverSha(b), TestServer::sha256Hex("乙改"));
    }

    // Saves 100 ms apart while an upload crawls: the last save is what the
    // disk ends with, never an older one landing after it.
    void savesDuringSlowUpload()
    {
        const QString id = serverFile(kRoot, "慢.docx", "v0");
        const QString path = openCopy(id);
        m_answer = ConfirmAndTick;
        QVERIFY(m_server.addFault("/v1/wp/file/Upload", "delay", 1500, 1));
        QSignalSpy queued(VEditBack::instance(), &VEditBack::signalUploadQueued);
        QSignalSpy uploaded(VEditBack::instance(), &VEditBack::signalUploaded);
        QVERIFY(saveByRename(path, QByteArray("v1").repeated(1000)));
        QTRY_COMPARE_WITH_TIMEOUT(queued.count(), 1, 30000);
        QVERIFY(saveByRename(path, QByteArray("v2").repeated(1000)));
        QTimer apart;
        apart.setSingleShot(true);
        QSignalSpy tick(&apart, &QTimer::timeout);
        apart.start(100);
        QVERIFY(tick.wait());
        QVERIFY(saveByRename(path, QByteArray("v3").repeated(1000)));
        waitUploaded(uploaded, 0, TestServer::sha256Hex(QByteArray("v3").repeated(1000)));
        QCOMPARE(serverSha(id), TestServer::sha256Hex(QByteArray("v3").repeated(1000)));
        // in order: no upload after the last one's
        QCOMPARE(uploaded.last().at(1).toString(), TestServer::sha256Hex(QByteArray("v3").repeated(1000)));
    }

    // An edit upload that failed and whose row the user cancelled no longer
    // counts as in flight: the next save is sent and ends on the disk.
    void cancelledUploadFreesTheFile()
    {
        const QString id = serverFile(kRoot, "取消.docx", "v0");
        const QString path = openCopy(id);
        m_answer = ConfirmAndTick;
        QVERIFY(m_server.addFault("/api/v1/wp/act/GetUploadLink", "status", 500, 0));
        QSignalSpy queued(VEditBack::instance(), &VEditBack::signalUploadQueued);
        QSignalSpy uploaded(VEditBack::instance(), &VEditBack::signalUploaded);
        QVERIFY(saveByRename(path, QByteArray("failed").repeated(1000)));
        QTRY_COMPARE_WITH_TIMEOUT(queued.count(), 1, 30000);
        const QString copy = queued.first().at(1).value<M_db_file>().localpath;
        VTransferTask *row = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((row = uploadRow(copy)) && row->status() == -1, 60000);
        QVERIFY(VEditBack::instance()->isUploading(path));
        row->cancel(false);
        QTRY_VERIFY(!VEditBack::instance()->isUploading(path));
        QTRY_VERIFY(!QFile::exists(copy));

        m_server.clearFaults();
        const QByteArray next = QByteArray("after cancel").repeated(1000);
        QVERIFY(saveByRename(path, next));
        waitUploaded(uploaded, 0, TestServer::sha256Hex(next));
        QCOMPARE(serverSha(id), TestServer::sha256Hex(next));
    }

    // Reopening keeps a copy with edits not yet on the disk.
    void reopenKeepsEdits()
    {
        const QString id = serverFile(kRoot, "未发送.docx", "磁盘上的");
        const QString path = openCopy(id);
        m_answer = Cancel;
        QSignalSpy checked(VEditBack::instance(), &VEditBack::signalSaveChecked);
        QVERIFY(saveByRename(path, "本地未发送的修改"));
        QVERIFY(waitChecked(checked, 0));
        const int downloads = m_server.requestCount("/web/download/file");
        QCOMPARE(openCopy(id), path);
        QCOMPARE(sha(path), TestServer::sha256Hex("本地未发送的修改"));
        QCOMPARE(m_server.requestCount("/web/download/file"), downloads);
        // a stale partial download beside it is removed
        QFile stale(path + ".orvelnetdisk." + id + ".download");
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QCOMPARE(openCopy(id), path);
        QVERIFY(!QFile::exists(stale.fileName()));
        QCOMPARE(sha(path), TestServer::sha256Hex("本地未发送的修改"));
    }

    // A copy no program opens says so, rather than leaving "请稍后" up.
    void noProgramSaysSo()
    {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("only the offscreen platform has no program for files");
        const QString id = serverFile(kRoot, "无程序.docx", "x");
        openCopy(id);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        openCopy(id); // the copy is there: reopened at once
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedLocally");
        QCOMPARE(err.size(), 1);
        QCOMPARE(err.first().first().toString(), QStringLiteral("没有可以打开此文件的程序"));
    }

    // Names and ids from the server never leave the edit folder.
    void hostileNames_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("dot dot") << "900001" << "..";
        QTest::newRow("only reserved") << "900002" << "???";
        QTest::newRow("climbing id") << "../../x" << "a.docx";
        QTest::newRow("empty id") << "" << "a.docx";
    }
    void hostileNames()
    {
        QFETCH(QString, id);
        QFETCH(QString, name);
        M_info_file f;
        f.id = id;
        f.filename = name;
        f.filecategory = 4;
        f.fullpath = kRoot + "/" + name;
        QSignalSpy err(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        QSignalSpy added(VGlobalConnect::instance(), &VGlobalConnect::signalDbselfAddFiles);
        VEditBack::instance()->open(f);
        QCOMPARE(err.count(), 1);
        QCOMPARE(added.count(), 0);
    }
};

QTEST_MAIN(TstEditBack)
#include "tst_editback.moc"
