// The whole client killed with SIGKILL mid-transfer and started again on the
// same log: uploads resume at the stored block (unattended when continuing is
// on, paused until started when it is off), an upload whose last block was
// stored completes without a post, a download continues from its temporary
// file: its first byte range after the restart starts exactly at the
// temporary file's size. Content is compared by SHA-256.

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "DB/db_self.h"
#include <QSqlDatabase>
#include <QSqlQuery>
#include "apirunner.h"
#include "records/metatypes.h"
#include "testhome.h"
#include "testserver.h"
#include "transferharness.h"

namespace {
const QString kFolder = QStringLiteral("/1001/sharedisk/");
const QString kUpload = QStringLiteral("/v1/wp/file/Upload");
const QString kDownload = QStringLiteral("/web/download/file");
constexpr qint64 kBlock = 5242880;
}

class TestTransferRestart : public QObject, ServedClient
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_n = 0;

    struct Client
    {
        std::unique_ptr<QProcess> proc = std::make_unique<QProcess>();
        QByteArray out;
        bool waitLine(const QByteArray &prefix, int ms = 120000)
        {
            QElapsedTimer t;
            t.start();
            while (!hasLine(prefix)) {
                if (t.elapsed() > ms || (proc->state() == QProcess::NotRunning && !proc->bytesAvailable()))
                    return hasLine(prefix);
                proc->waitForReadyRead(200);
                out += proc->readAllStandardOutput();
            }
            return true;
        }
        bool readsFailure()
        {
            out += proc->readAllStandardOutput();
            return hasLine("failed");
        }
        bool hasLine(const QByteArray &prefix) const
        {
            for (const QByteArray &l : out.split('\n'))
                if (l.startsWith(prefix))
                    return true;
            return false;
        }
        QByteArray line(const QByteArray &prefix) const
        {
            for (const QByteArray &l : out.split('\n'))
                if (l.startsWith(prefix))
                    return l;
            return QByteArray();
        }
    };

    std::unique_ptr<Client> launch(const QString &userDir, bool isContinue, const QStringList &extra = {})
    {
        auto c = std::make_unique<Client>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home-") + QFileInfo(userDir).fileName()));
        env.insert(QStringLiteral("ORVEL_SHM_KEY"), QStringLiteral("orvel-restart-%1").arg(QCoreApplication::applicationPid()));
        c->proc->setProcessEnvironment(env);
        c->proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        c->proc->start(QStringLiteral(TRANSFER_CLIENT_BIN),
                       QStringList{QStringLiteral("--root"), m_server.rootUrl(), QStringLiteral("--token"), m_token,
                                   QStringLiteral("--userdir"), userDir, QStringLiteral("--continue"),
                                   isContinue ? QStringLiteral("1") : QStringLiteral("0")}
                           + extra);
        c->proc->waitForStarted();
        return c;
    }

    QString makeLocal(const QString &name, qint64 size)
    {
        const QString path = m_dir.filePath(name);
        makeFile(path, size, quint32(++m_n + 500));
        return path;
    }

    QByteArray storedSha(const QString &name) const
    {
        return m_server.stat(kFolder + name).value(QStringLiteral("sha256")).toString().toLatin1();
    }

    // The one unfinished row of a log, read as the next start will read it:
    // through a read-only connection of its own, so the polling never holds
    // a lock the client process waits for.
    // "bytes=a-b" or "bytes=a-" (b is then -1); false for anything else.
    static bool parseRange(const QString &header, qint64 *from, qint64 *to)
    {
        static const QRegularExpression re(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
        const QRegularExpressionMatch m = re.match(header);
        if (!m.hasMatch())
            return false;
        *from = m.captured(1).toLongLong();
        *to = m.captured(2).isEmpty() ? -1 : m.captured(2).toLongLong();
        return true;
    }

    // Whether the server has logged a request whose range holds byte at.
    bool rangeLogged(qint64 at) const
    {
        for (const QString &r : m_server.requestRanges(kDownload)) {
            qint64 from = 0, to = 0;
            if (parseRange(r, &from, &to) && from <= at && (to < 0 || to >= at))
                return true;
        }
        return false;
    }

    static M_db_file pendingRow(const QString &userDir, int type)
    {
        M_db_file row;
        const QString name = QStringLiteral("pending-%1").arg(quintptr(&row));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(userDir + QStringLiteral("/file.db"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=200"));
            if (db.open()) {
                QSqlQuery q(db);
                q.prepare(QStringLiteral("select id, block from log where status <> 99 and type = ? order by id"));
                q.addBindValue(type);
                if (q.exec() && q.next()) {
                    row.id = q.value(0).toInt();
                    row.block = q.value(1).toInt();
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return row;
    }

private slots:
    void initTestCase()
    {
        registerMetaTypes();
        QString err;
        m_token = startSignedIn(m_server, &err, false);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
    }
    void init() { m_server.clearFaults(); }

    // Killed at a stored block, started again: the posts after the restart
    // are the remaining blocks (one more at most, the block in flight).
    void uploadResumes_data()
    {
        QTest::addColumn<bool>("isContinue");
        QTest::newRow("continue on") << true;
        QTest::newRow("continue off, started by hand") << false;
    }
    void uploadResumes()
    {
        QFETCH(bool, isContinue);
        const int blocks = 7;
        const QString name = QStringLiteral("kill-%1.bin").arg(isContinue ? 1 : 0);
        const QString file = makeLocal(name, blocks * kBlock - 1234);
        const QString userDir = m_dir.filePath(QStringLiteral("user-up-%1").arg(isContinue));
        QVERIFY(m_server.addFault(kUpload, QStringLiteral("delay"), 300));
        auto c = launch(userDir, true, {QStringLiteral("--upload"), file, QStringLiteral("--to"), kFolder});
        QTRY_VERIFY_WITH_TIMEOUT(pendingRow(userDir, 2).block >= 3 || c->readsFailure(), 120000);
        QVERIFY2(!c->hasLine("failed"), c->out.constData());
        c->proc->kill(); // SIGKILL: no clean-up of any kind
        c->proc->waitForFinished();
        const int stored = pendingRow(userDir, 2).block;
        QVERIFY(stored >= 3 && stored < blocks);
        m_server.clearFaults();
        const int posts = m_server.requestCount(kUpload);

        auto again = launch(userDir, isContinue);
        QVERIFY(again->waitLine("ready"));
        if (!isContinue) {
            QVERIFY(again->hasLine("row "));
            QVERIFY(again->line("row ").endsWith(" 0 暂停"));
            QCOMPARE(m_server.requestCount(kUpload), posts);
            again->proc->write("start\n");
        }
        QVERIFY(again->waitLine("done"));
        again->proc->waitForFinished();
        const int after = m_server.requestCount(kUpload) - posts;
        QVERIFY2(after >= blocks - stored && after <= blocks - stored + 1,
                 qPrintable(QStringLiteral("%1 posts after block %2 of %3").arg(after).arg(stored).arg(blocks)));
        QCOMPARE(storedSha(name), fileSha256(file));
        QCOMPARE(pendingRow(userDir, 2).id, 0);
    }

    // Killed after the last block was stored but before the log said done:
    // the next start finds the event finished and posts nothing.
    void uploadLastBlockStored()
    {
        const QString name = QStringLiteral("last.bin");
        const QString file = makeLocal(name, 2 * kBlock + 10);
        const QString userDir = m_dir.filePath(QStringLiteral("user-last"));
        // The upload runs to the end in a process whose log writes for the
        // last block we take back: as if it died right after the post.
        auto c = launch(userDir, true, {QStringLiteral("--upload"), file, QStringLiteral("--to"), kFolder});
        QVERIFY(c->waitLine("done"));
        c->proc->waitForFinished();
        {
            db_self store(userDir);
            const QList<M_db_file> done = store.getDone();
            QCOMPARE(done.size(), 1);
            M_db_file row = done.first();
            row.status = 2;
            row.block = 2; // the last block's number: its post was the last thing done
            row.donetime = 0;
            QVERIFY(store.updateFile(row));
        }
        const int posts = m_server.requestCount(kUpload);
        auto again = launch(userDir, true);
        QVERIFY(again->waitLine("done"));
        QCOMPARE(m_server.requestCount(kUpload), posts);
        QCOMPARE(storedSha(name), fileSha256(file));
    }

    // A download killed mid-way continues from its temporary file: the first
    // progress after the restart starts at the temporary file's size.
    void downloadResumes()
    {
        QByteArray content(24 * 1048576, Qt::Uninitialized);
        for (int i = 0; i < content.size(); ++i)
            content[i] = char((unsigned(i) * 131u) ^ (unsigned(i) >> 9));
        QString err;
        const QString fileid = m_server.uploadFile(m_token, kFolder, QStringLiteral("kill-down.bin"), content, 1, &err);
        QVERIFY2(!fileid.isEmpty(), qPrintable(err));
        const QString userDir = m_dir.filePath(QStringLiteral("user-down"));
        const QString target = m_dir.filePath(QStringLiteral("downloads/kill-down.bin"));
        const QString temp = target + QStringLiteral(".orvelnetdisk.%1.download").arg(fileid);
        auto c = launch(userDir, true,
                        {QStringLiteral("--download"), fileid, QStringLiteral("--out"), target, QStringLiteral("--size"),
                         QString::number(content.size()), QStringLiteral("--limit-kib"), QStringLiteral("4096")});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(temp).size() > 6 * 1048576, 120000);
        c->proc->kill();
        c->proc->waitForFinished();
        const qint64 partial = QFileInfo(temp).size();
        QVERIFY(partial > 0 && partial < content.size());
        // The request that was cut off is logged once the server notices;
        // every request after it belongs to the second run.
        QTRY_VERIFY_WITH_TIMEOUT(rangeLogged(partial - 1), 30000);
        const int before = m_server.requestCount(kDownload);

        auto again = launch(userDir, true);
        QVERIFY(again->waitLine("done"));

        // The second run's content ranges (the two-byte probe aside), in
        // order of their start: the first starts at the temporary file's
        // size, each next one where the one before ended, up to the end.
        const QStringList ranges = m_server.requestRanges(kDownload);
        const int fresh = m_server.requestCount(kDownload) - before;
        QVERIFY(fresh > 0 && fresh <= ranges.size());
        QList<QPair<qint64, qint64>> spans;
        for (const QString &r : ranges.mid(ranges.size() - fresh)) {
            qint64 from = 0, to = 0;
            QVERIFY2(parseRange(r, &from, &to), qPrintable(QStringLiteral("request without a range: '%1'").arg(r)));
            if (from == 0 && to == 1)
                continue;
            spans << qMakePair(from, to < 0 ? qint64(content.size()) - 1 : to);
        }
        std::sort(spans.begin(), spans.end());
        QVERIFY(!spans.isEmpty());
        QCOMPARE(spans.first().first, partial);
        for (int i = 1; i < spans.size(); ++i)
            QCOMPARE(spans.at(i).first, spans.at(i - 1).second + 1);
        QVERIFY(spans.last().second >= content.size() - 1);
        const QList<QByteArray> first = again->line("first ").split(' ');
        QVERIFY2(first.value(2).toLongLong() >= partial,
                 qPrintable(QStringLiteral("first progress %1, partial %2").arg(QString::fromLatin1(first.value(2))).arg(partial)));
        QCOMPARE(fileSha256(target), TestServer::sha256Hex(content).toLatin1());
        QVERIFY(!QFile::exists(temp));
    }
};

QTEST_GUILESS_MAIN(TestTransferRestart)
#include "tst_transferrestart.moc"
