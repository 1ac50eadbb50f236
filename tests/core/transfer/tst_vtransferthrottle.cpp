// The shared token bucket: rate, sharing between consumers, live changes and
// the settings hook.

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "records/m_config.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vtransferthrottle.h"

namespace {

// Pulls bytes in chunks as fast as the bucket allows for `ms`.
qint64 drain(VTransferThrottle *t, int ms, qint64 chunk = 16384)
{
    QElapsedTimer clock;
    clock.start();
    qint64 got = 0;
    while (clock.elapsed() < ms) {
        const qint64 g = t->tryAcquire(chunk);
        if (g > 0)
            got += g;
        else
            QThread::msleep(quint32(qMax(1, t->msUntilAvailable())));
    }
    return got;
}

// Pulls `bytes` (counted in *shared, which other consumers may add to) as
// fast as the bucket allows; answers the milliseconds it took.
qint64 drainBytes(VTransferThrottle *t, qint64 bytes, std::atomic<qint64> *shared, qint64 chunk = 16384)
{
    QElapsedTimer clock;
    clock.start();
    while (*shared < bytes) {
        const qint64 g = t->tryAcquire(chunk);
        if (g > 0)
            *shared += g;
        else
            QThread::msleep(quint32(qMax(1, t->msUntilAvailable())));
    }
    return clock.elapsed();
}

} // namespace

class TestThrottle : public QObject
{
    Q_OBJECT
private slots:
    void unlimitedGrantsAll()
    {
        VTransferThrottle *t = VTransferThrottle::upload();
        t->setLimit(0);
        QCOMPARE(t->tryAcquire(123456789), qint64(123456789));
        QCOMPARE(t->msUntilAvailable(), 0);
    }

    // A 400 KB/s budget hands out 480 KB in no less than 1.2 s, less at most
    // one quarter-second burst. (How close to the rate it gets on a busy
    // machine is for the benchmarks, not a test.)
    void rateHolds()
    {
        VTransferThrottle *t = VTransferThrottle::download();
        t->setLimit(400 * 1024);
        drain(t, 300); // empty the initial burst
        std::atomic<qint64> got{0};
        const qint64 took = drainBytes(t, 480 * 1024, &got);
        t->setLimit(0);
        QVERIFY2(took >= 1200 - 250 - 20, qPrintable(QString::number(took)));
    }

    // Two threads pulling at once share one budget: together they get no
    // more than one consumer alone would.
    void consumersShare()
    {
        VTransferThrottle *t = VTransferThrottle::upload();
        t->setLimit(300 * 1024);
        drain(t, 300);
        std::atomic<qint64> sum{0};
        std::atomic<qint64> tookA{0}, tookB{0}; // read after the joins, which the thread checker cannot see through
        QThread *ta = QThread::create([&] { tookA = drainBytes(t, 360 * 1024, &sum, 8192); });
        QThread *tb = QThread::create([&] { tookB = drainBytes(t, 360 * 1024, &sum, 8192); });
        ta->start();
        tb->start();
        ta->wait();
        tb->wait();
        delete ta;
        delete tb;
        t->setLimit(0);
        QVERIFY2(qMax(tookA.load(), tookB.load()) >= 1200 - 250 - 20,
                 qPrintable(QStringLiteral("%1 %2").arg(tookA.load()).arg(tookB.load())));
    }

    // A lowered limit is felt at once, not after the old burst.
    void lowerTakesEffect()
    {
        VTransferThrottle *t = VTransferThrottle::download();
        t->setLimit(10 * 1024 * 1024);
        QThread::msleep(300);
        t->setLimit(50 * 1024);
        const qint64 got = drain(t, 500);
        t->setLimit(0);
        QVERIFY2(got < 60 * 1024, qPrintable(QString::number(got)));
    }

    // The settings switch and value apply, and a change signal re-reads them.
    void followsSettings()
    {
        M_config *c = M_config::instance();
        c->Transfer_isupload = true;
        c->Transfer_speed_upload = 100;
        c->Transfer_isdownload = false;
        c->Transfer_speed_download = 500;
        VTransferThrottle::followConfig();
        QCOMPARE(VTransferThrottle::upload()->limit(), qint64(100 * 1024));
        QCOMPARE(VTransferThrottle::download()->limit(), qint64(0));
        c->Transfer_isdownload = true;
        c->Transfer_speed_upload = 0;
        emit VGlobalConnect::instance()->signalChange_config();
        QCOMPARE(VTransferThrottle::download()->limit(), qint64(500 * 1024));
        QCOMPARE(VTransferThrottle::upload()->limit(), qint64(0));
        c->Transfer_isdownload = false;
        emit VGlobalConnect::instance()->signalChange_config();
        QCOMPARE(VTransferThrottle::download()->limit(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestThrottle)
#include "tst_vtransferthrottle.moc"
