#include "context/orvelcore.h"
#include "context/vconfigs.h"
#include "utils/vutils.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

// The crypto script as compiled in, run by the script engine, checked against
// an independent AES implementation (the openssl command).
class TestCrypto : public QObject
{
    Q_OBJECT

    static QString opensslEncrypt(const QString &text)
    {
        QProcess p;
        p.start(QStringLiteral("openssl"),
                {"enc", "-aes-128-cbc", "-a", "-A", "-K", QString::fromLatin1(QByteArray("q7#mz2&kw9!rx4$t").toHex()),
                 "-iv", QString::fromLatin1(QByteArray("b3&hp8*nd5%vy1^c").toHex())});
        if (!p.waitForStarted())
            return QString();
        p.write(text.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished();
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    }

private slots:
    void initTestCase()
    {
        initOrvelCore();
        QVERIFY(loadCryptoScript());
    }

    void knownVector()
    {
        QCOMPARE(VUtils::instance()->toEncrypt(QStringLiteral("张三pass123")),
                 QStringLiteral("uKw7kW955jPrGp23UIzXlw=="));
    }

    void agreesWithOpenssl_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::newRow("cjk") << QStringLiteral("张三pass123");
        QTest::newRow("empty") << QString();
        QTest::newRow("one-char") << QStringLiteral("a");
        QTest::newRow("block-15") << QStringLiteral("123456789012345");
        QTest::newRow("block-16") << QStringLiteral("1234567890123456");
        QTest::newRow("block-17") << QStringLiteral("12345678901234567");
        QTest::newRow("symbols") << QStringLiteral("p@ss w0rd!#$%^&*()\"'\\/");
        QTest::newRow("json") << QStringLiteral("{\"Normal_isAutoRun\":true,\"path\":\"D:/下载\"}");
    }

    void agreesWithOpenssl()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("openssl command not installed");
        QFETCH(QString, plain);
        const QString mine = VUtils::instance()->toEncrypt(plain);
        QCOMPARE(mine, opensslEncrypt(plain));
        QCOMPARE(VUtils::instance()->toDecrypt(mine), plain);
    }

    void badCipherText_data()
    {
        QTest::addColumn<QString>("cipher");
        QTest::addColumn<bool>("empty");
        QTest::newRow("not-base64") << QStringLiteral("%%%%") << true;
        QTest::newRow("short") << QStringLiteral("AAAA") << true;
        // one block under the wrong key decrypts to a few stray characters
        QTest::newRow("wrong-key") << QStringLiteral("AAAAAAAAAAAAAAAAAAAAAA==") << false;
    }

    void badCipherText()
    {
        QFETCH(QString, cipher);
        QFETCH(bool, empty);
        // Must not throw out of the engine or hang; malformed input ends as
        // empty, and a block that merely decrypts wrongly stays shorter than
        // the block.
        const QString out = VUtils::instance()->toDecrypt(cipher);
        if (empty)
            QVERIFY2(out.isEmpty(), qPrintable(out));
        else
            QVERIFY2(out.size() < 16, qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestCrypto)
#include "tst_crypto.moc"
