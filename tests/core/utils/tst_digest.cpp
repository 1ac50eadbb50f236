#include "utils/vutils.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

// File digests against the openssl command, around the 10 MiB chunk size.
class TestDigest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    static QString openssl(const QString &algo, const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("openssl"), {"dgst", "-" + algo, "-r", path});
        if (!p.waitForFinished(60000))
            return QString();
        return QString::fromLatin1(p.readAllStandardOutput()).section(' ', 0, 0).trimmed();
    }

    QString makeFile(const QString &name, qint64 size)
    {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        QRandomGenerator rng{quint32(size)};
        QByteArray block(1 << 20, Qt::Uninitialized);
        qint64 left = size;
        while (left > 0) {
            rng.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            const qint64 n = std::min<qint64>(left, block.size());
            f.write(block.constData(), n);
            left -= n;
        }
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        if (QStandardPaths::findExecutable("openssl").isEmpty())
            QSKIP("openssl command not installed");
    }

    void matchesOpenssl_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("empty") << qint64(0);
        QTest::newRow("one-byte") << qint64(1);
        QTest::newRow("odd") << qint64(1000003);
        QTest::newRow("chunk-minus-1") << qint64(10485760 - 1);
        QTest::newRow("chunk") << qint64(10485760);
        QTest::newRow("chunk-plus-1") << qint64(10485760 + 1);
        QTest::newRow("two-and-a-half-chunks") << qint64(10485760 * 5 / 2);
    }

    void matchesOpenssl()
    {
        QFETCH(qint64, size);
        const QString path = makeFile(QString("f%1").arg(size), size);
        QVERIFY(!path.isEmpty());
        const QString sha = VUtils::fileSha256(path);
        QCOMPARE(sha.size(), 64);
        QCOMPARE(sha, openssl("sha256", path));
        QCOMPARE(VUtils::fileMd5(path), openssl("md5", path));
    }

    void knownDigests()
    {
        QFile f(dir.path() + "/abc");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("abc");
        f.close();
        QCOMPARE(VUtils::fileSha256(f.fileName()),
                 QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(VUtils::fileMd5(f.fileName()), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    }

    void unreadableGivesEmpty_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << dir.path() + "/no-such-file";
        QTest::newRow("folder") << dir.path();
        QTest::newRow("empty-name") << QString();
    }

    void unreadableGivesEmpty()
    {
        QFETCH(QString, path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("file (open|read) error\\."));
        QCOMPARE(VUtils::fileSha256(path), QString());
    }

    void parallelOnWorkerThreads()
    {
        // The upload rows hash on the global pool, several at once.
        const QString a = makeFile("pa", 3 * 1048576 + 17);
        const QString b = makeFile("pb", 2 * 1048576 + 5);
        const QString ra = openssl("sha256", a), rb = openssl("sha256", b);
        QList<QString> paths;
        for (int i = 0; i < 8; ++i)
            paths << (i % 2 ? b : a);
        QList<QFuture<QString>> runs;
        for (const QString &p : paths)
            runs << QtConcurrent::run([p] { return VUtils::fileSha256(p); });
        QList<QString> got;
        for (auto &f : runs)
            got << f.result();
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got.at(i), i % 2 ? rb : ra);
    }
};

QTEST_GUILESS_MAIN(TestDigest)
#include "tst_digest.moc"
