// Admission rules of the transfer queue: limits, FIFO promotion, limit
// changes, the fallbacks for stored limits below 1, and backup entries.
#include "records/m_config.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

class TestVGlobalQueue : public QObject
{
    Q_OBJECT

private:
    VGlobalQueue *q = nullptr;
    static QList<int> ids(const QSignalSpy &spy)
    {
        QList<int> out;
        for (const QList<QVariant> &args : spy)
            out << args.at(0).toInt();
        return out;
    }
    static QStringList texts(const QSignalSpy &spy)
    {
        QStringList out;
        for (const QList<QVariant> &args : spy)
            out << args.at(0).toString();
        return out;
    }

private slots:
    void init()
    {
        M_config::instance()->reset();
        q = VGlobalQueue::instance();
        q->clearUploads();
        q->clearDownloads();
        q->clearBak();
    }

    void uploadsBeyondTheLimitWaitAndArePromotedInOrder()
    {
        M_config::instance()->Transfer_threadcount_upload = 2;
        QSignalSpy started(VGlobalConnect::instance(), qOverload<int>(&VGlobalConnect::signalStartUpload));
        for (int id = 1; id <= 5; ++id)
            q->addUpload(id);
        QCOMPARE(ids(started), (QList<int>{1, 2}));
        QCOMPARE(q->uploadWorking(), (QList<int>{1, 2}));
        QCOMPARE(q->uploadWaiting(), (QList<int>{3, 4, 5}));

        q->removeUpload(1);
        QCOMPARE(ids(started), (QList<int>{1, 2, 3}));
        QCOMPARE(q->uploadWorking(), (QList<int>{2, 3}));

        // removing a waiting id frees no slot
        q->removeUpload(5);
        QCOMPARE(started.size(), 3);
        QCOMPARE(q->uploadWaiting(), (QList<int>{4}));
    }

    void raisingTheLimitStartsWaitingOnesInOrder()
    {
        M_config::instance()->Transfer_threadcount_upload = 2;
        QSignalSpy started(VGlobalConnect::instance(), qOverload<int>(&VGlobalConnect::signalStartUpload));
        for (int id = 1; id <= 5; ++id)
            q->addUpload(id);
        started.clear();
        M_config::instance()->Transfer_threadcount_upload = 4;
        emit VGlobalConnect::instance()->signalChange_config();
        QCOMPARE(ids(started), (QList<int>{3, 4}));
        QCOMPARE(q->uploadWaiting(), (QList<int>{5}));

        // lowering stops nothing; a freed slot is not refilled above the limit
        M_config::instance()->Transfer_threadcount_upload = 1;
        emit VGlobalConnect::instance()->signalChange_config();
        started.clear();
        q->removeUpload(1);
        QCOMPARE(started.size(), 0);
        QCOMPARE(q->uploadWorking().size(), 3);
    }

    void storedLimitsBelowOne_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("uploads");
        QTest::addColumn<int>("downloads");
        QTest::newRow("zero") << 0 << 2 << 5;
        QTest::newRow("negative") << -3 << 2 << 5;
        QTest::newRow("one") << 1 << 1 << 1;
        QTest::newRow("three") << 3 << 3 << 3;
    }

    void storedLimitsBelowOne()
    {
        QFETCH(int, stored);
        QFETCH(int, uploads);
        QFETCH(int, downloads);
        M_config::instance()->Transfer_threadcount_upload = stored;
        M_config::instance()->Transfer_threadcount_download = stored;
        QSignalSpy up(VGlobalConnect::instance(), qOverload<int>(&VGlobalConnect::signalStartUpload));
        QSignalSpy down(VGlobalConnect::instance(), qOverload<int>(&VGlobalConnect::signalStartDownload));
        for (int id = 1; id <= 8; ++id) {
            q->addUpload(id);
            q->addDownload(100 + id);
        }
        QCOMPARE(up.size(), uploads);
        QCOMPARE(down.size(), downloads);
        QCOMPARE(q->uploadWaiting().size(), 8 - uploads);
    }

    void downloadsFollowTheSameRules()
    {
        M_config::instance()->Transfer_threadcount_download = 2;
        QSignalSpy started(VGlobalConnect::instance(), qOverload<int>(&VGlobalConnect::signalStartDownload));
        q->addDownload(7);
        q->addDownload(8);
        q->addDownload(9);
        q->addDownload(7); // a row started twice takes one slot only
        QCOMPARE(ids(started), (QList<int>{7, 8}));
        q->removeDownload(8);
        QCOMPARE(ids(started), (QList<int>{7, 8, 9}));
        QVERIFY(q->hasTasks());
        q->removeDownload(7);
        q->removeDownload(9);
        QVERIFY(!q->hasTasks());
    }

    void clearWaitingKeepsRunningOnes()
    {
        M_config::instance()->Transfer_threadcount_upload = 1;
        q->addUpload(1);
        q->addUpload(2);
        q->clearWaiting();
        QVERIFY(q->hasRunningTransfers());
        QCOMPARE(q->uploadWaiting().size(), 0);
        q->removeUpload(1);
        QVERIFY(!q->hasTasks());
    }

    // Random adds, repeated adds and removals (waiting and working, known
    // and unknown ids) against a plain model of the rules: the same working
    // and waiting lists in the same order, the same admissions announced.
    void randomSequenceFollowsTheModel_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("upload");
        for (quint32 seed : {1u, 7u, 42u})
            for (bool upload : {true, false})
                QTest::addRow("seed %u %s", seed, upload ? "uploads" : "downloads") << seed << upload;
    }
    void randomSequenceFollowsTheModel()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, upload);
        M_config::instance()->Transfer_threadcount_upload = 3;
        M_config::instance()->Transfer_threadcount_download = 3;
        QSignalSpy started(VGlobalConnect::instance(), upload ? qOverload<int>(&VGlobalConnect::signalStartUpload)
                                                              : qOverload<int>(&VGlobalConnect::signalStartDownload));
        QList<int> work, wait, announced;
        QRandomGenerator gen(seed);
        for (int step = 0; step < 2000; ++step) {
            const int id = int(gen.bounded(1, 40));
            if (gen.bounded(2) == 0) {
                upload ? q->addUpload(id) : q->addDownload(id);
                if (!work.contains(id) && !wait.contains(id)) {
                    if (work.size() < 3) {
                        work << id;
                        announced << id;
                    } else {
                        wait << id;
                    }
                }
            } else {
                upload ? q->removeUpload(id) : q->removeDownload(id);
                if (wait.removeAll(id) == 0 && work.removeAll(id) > 0 && !wait.isEmpty()) {
                    work << wait.takeFirst();
                    announced << work.last();
                }
            }
            QCOMPARE(upload ? q->uploadWorking() : q->downloadWorking(), work);
            QCOMPARE(upload ? q->uploadWaiting() : q->downloadWaiting(), wait);
        }
        QCOMPARE(ids(started), announced);
    }

    void sixBackupEntriesFiveStart()
    {
        QSignalSpy started(VGlobalConnect::instance(), &VGlobalConnect::signalSynStartDownload);
        for (int i = 1; i <= 6; ++i)
            q->addBak(QStringLiteral("o1"), QStringLiteral("u%1").arg(i));
        QCOMPARE(texts(started), (QStringList{"u1", "u2", "u3", "u4", "u5"}));
        QSignalSpy stopped(VGlobalConnect::instance(), &VGlobalConnect::signalSynStopDownload);
        q->removeBak(QStringLiteral("o1"), QStringLiteral("u2"), true);
        QCOMPARE(texts(started).last(), QStringLiteral("u6"));
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(stopped.first().at(0).toString(), QStringLiteral("u2"));
        QCOMPARE(stopped.first().at(1).toInt(), 1);
        // an entry that is not there is not announced
        q->removeBak(QStringLiteral("o1"), QStringLiteral("nope"), true);
        QCOMPARE(stopped.size(), 1);
    }

    void removingAnOwnerLeavesOtherOwners()
    {
        for (int i = 1; i <= 4; ++i) {
            q->addBak(QStringLiteral("a"), QStringLiteral("x%1").arg(i));
            q->addBak(QStringLiteral("ab"), QStringLiteral("y%1").arg(i));
        }
        QSignalSpy stopped(VGlobalConnect::instance(), &VGlobalConnect::signalSynStopDownload);
        q->removeBak(QStringLiteral("a"), QString(), true);
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(stopped.first().at(0).toString(), QStringLiteral("a"));
        QCOMPARE(stopped.first().at(1).toInt(), 0);
        const QStringList all = q->bakWaiting() + q->bakWorking();
        QCOMPARE(all.size(), 4);
        for (const QString &e : all)
            QVERIFY2(e.startsWith(QLatin1String("ab|")), qPrintable(e));
    }

    void deleteMarksAreHeldOnce()
    {
        q->markBakDelete(QStringLiteral("o|1"));
        q->markBakDelete(QStringLiteral("o|1"));
        QVERIFY(q->isBakDeleteMarked(QStringLiteral("o|1")));
        q->unmarkBakDelete(QStringLiteral("o|1"));
        QVERIFY(!q->isBakDeleteMarked(QStringLiteral("o|1")));
    }
};

QTEST_GUILESS_MAIN(TestVGlobalQueue)
#include "tst_vglobalqueue.moc"
