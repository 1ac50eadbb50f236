#include "context/vsharedmemory.h"
#include "platform/vplatform.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QtTest>

#include <memory>

// One account per running instance, across real processes: the second is
// refused while the first lives, and a SIGKILLed holder locks nobody out.
class TestSharedMemory : public QObject
{
    Q_OBJECT
    QString key;
    std::vector<std::unique_ptr<QProcess>> running;

    QProcess *start(const QStringList &args, const QString &shmKey)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVEL_SHM_KEY", shmKey);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ORVEL_SHM_HELPER), args);
        running.push_back(std::move(p));
        return running.back().get();
    }

    // Runs a helper to its end and returns its output lines.
    QStringList run(const QStringList &args, const QString &shmKey)
    {
        QProcess *p = start(args, shmKey);
        if (!p->waitForFinished(20000))
            return {"timeout"};
        return QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    // Starts a holder and waits until it has registered.
    QProcess *hold(const QString &account, const QString &shmKey)
    {
        QProcess *p = start({"register", account}, shmKey);
        if (!p->waitForStarted(10000))
            return nullptr;
        QByteArray out;
        while (!out.contains('\n') && p->waitForReadyRead(10000))
            out += p->readAllStandardOutput();
        return out.startsWith("registered ") ? p : nullptr;
    }

    static void killHard(QProcess *p)
    {
        p->kill(); // SIGKILL: no chance to clean up
        p->waitForFinished(10000);
    }

private slots:
    void initTestCase()
    {
        key = QStringLiteral("orvel-test-%1").arg(QCoreApplication::applicationPid());
        qputenv("ORVEL_SHM_KEY", key.toUtf8());
        QCOMPARE(VSharedMemory::registryKey(), key);
        QVERIFY(VSharedMemory::instance()->usable());
        QCOMPARE(VSharedMemory::instance()->size(), VSharedMemory::kSegmentSize);
    }

    void cleanupTestCase()
    {
        // The lock's key files stay behind in the temporary folder: tidy up.
        // Their names end in the SHA-1 of the key.
        const QDir tmp(QDir::tempPath());
        for (const QString &k : {key, key + "-orphan"}) {
            const QString hash = QCryptographicHash::hash(k.toUtf8(), QCryptographicHash::Sha1).toHex();
            for (const QString &f : tmp.entryList({"qipc_*" + hash}, QDir::Files))
                QFile::remove(tmp.filePath(f));
        }
    }

    void cleanup()
    {
        for (auto &p : running) {
            if (p->state() != QProcess::NotRunning) {
                p->closeWriteChannel();
                if (!p->waitForFinished(2000))
                    killHard(p.get());
            }
        }
        running.clear();
    }

    void secondProcessRefusedUntilHolderKilled()
    {
        VSharedMemory *shm = VSharedMemory::instance();
        const quint32 self = VPlatform::ownRegistryId();
        QProcess *holder = hold("alice", key);
        QVERIFY(holder);
        QVERIFY(shm->check("alice", self));
        QVERIFY(!shm->check("bob", self));
        QCOMPARE(run({"check", "alice"}, key), QStringList{"held"});

        // Another account signs in fine, and is then held by us.
        shm->registerAccount("bob", self);
        QVERIFY(!shm->check("bob", self)); // ours: not refused
        QCOMPARE(run({"check", "bob"}, key), QStringList{"held"});

        killHard(holder);
        QVERIFY(!shm->check("alice", self));
        QCOMPARE(run({"check", "alice"}, key), QStringList{"free"});

        // The account can be signed in again, by anyone.
        QProcess *again = hold("alice", key);
        QVERIFY(again);
        QVERIFY(shm->check("alice", self));
        QVERIFY(shm->entries().contains("bob"));
    }

    void staleSegmentAttachedAndReused()
    {
        // Nobody else attaches this key: after the kill the segment is an
        // orphan that the next process must attach, not trip over.
        const QString orphanKey = key + "-orphan";
        QProcess *holder = hold("carol", orphanKey);
        QVERIFY(holder);
        killHard(holder);
        const QStringList out = run({"reuse", "carol"}, orphanKey);
        QVERIFY2(out.size() == 3, qPrintable(out.join('|')));
        QVERIFY(out.at(0).startsWith("entry carol ")); // the old contents are there
        QCOMPARE(out.at(1), QString("free"));
        QVERIFY(out.at(2).startsWith("registered "));
    }

    void concurrentRegistrationsAllKept()
    {
        QList<QProcess *> writers;
        for (int w = 0; w < 4; ++w)
            writers << start({"many", QString("w%1-").arg(w), "40"}, key);
        for (QProcess *p : writers) {
            QVERIFY(p->waitForFinished(30000));
            QCOMPARE(p->exitCode(), 0);
        }
        const auto entries = VSharedMemory::instance()->entries();
        for (int w = 0; w < 4; ++w)
            for (int i = 0; i < 40; ++i)
                QVERIFY2(entries.contains(QString("w%1-%2").arg(w).arg(i)), qPrintable(QString("w%1-%2").arg(w).arg(i)));
    }

    void ownProcessAndDeadIdsNeverRefuse()
    {
        VSharedMemory *shm = VSharedMemory::instance();
        const quint32 self = VPlatform::ownRegistryId();
        shm->registerAccount("dave", 0); // no such process
        QVERIFY(!shm->check("dave", self));
        shm->registerAccount("dave", self);
        QVERIFY(!shm->check("dave", self));
        QVERIFY(shm->check("dave", self + 1000000)); // asked by another window: we are alive
    }
};

QTEST_GUILESS_MAIN(TestSharedMemory)
#include "tst_sharedmemory.moc"
