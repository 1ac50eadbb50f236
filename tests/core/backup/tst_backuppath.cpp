// The one mapping from a server path to a backup file: hostile names never
// leave the backup folder, ordinary ones (CJK, brackets, spaces) stay intact.

#include <QtTest>

#include "backup/vbackuppath.h"

class TstBackupPath : public QObject
{
    Q_OBJECT
private slots:
    void mapping_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("expected"); // relative to the root; empty = refused
        QTest::newRow("plain") << "/1001/sharedisk/a/b.txt" << "a/b.txt";
        QTest::newRow("cjk and brackets") << "/1001/sharedisk/教学/[2023] 计划 (1).docx" << "教学/[2023] 计划 (1).docx";
        QTest::newRow("section case") << "/1001/ShareDisk/x.txt" << "x.txt";
        QTest::newRow("windows characters") << "/1001/sharedisk/课:b*c?d\"e<f>g|h.txt" << "课bcdefgh.txt";
        QTest::newRow("trailing dot") << "/1001/sharedisk/notes." << "notes";
        QTest::newRow("trailing dots and spaces") << "/1001/sharedisk/a. ./b" << "a/b";
        QTest::newRow("only reserved") << "/1001/sharedisk/a/???" << "";
        QTest::newRow("control char") << QString("/1001/sharedisk/a") + QChar(1) + "b" << "ab";
        QTest::newRow("dotdot segment") << "/1001/sharedisk/../x" << "";
        QTest::newRow("dotdot inside") << "/1001/sharedisk/a/../../x" << "";
        QTest::newRow("dot segment") << "/1001/sharedisk/./x" << "";
        QTest::newRow("only dots") << "/1001/sharedisk/..." << "";
        QTest::newRow("empty segment") << "/1001/sharedisk/a//b" << "";
        QTest::newRow("trailing slash") << "/1001/sharedisk/a/" << "";
        QTest::newRow("backslash") << "/1001/sharedisk/a\\..\\..\\x" << "";
        QTest::newRow("nul") << QString("/1001/sharedisk/a") + QChar(0) + "b" << "";
        QTest::newRow("drive") << "/1001/sharedisk/C:/Windows/x" << "";
        QTest::newRow("drive mid") << "/1001/sharedisk/a/d:x" << "";
        QTest::newRow("other school") << "/1002/sharedisk/x" << "";
        QTest::newRow("other section") << "/1001/personal/x" << "";
        QTest::newRow("prefix trick") << "/1001/sharediskx/y" << "";
        QTest::newRow("root itself") << "/1001/sharedisk/" << "";
        QTest::newRow("no leading slash") << "1001/sharedisk/x" << "";
        QTest::newRow("empty") << "" << "";
    }
    void mapping()
    {
        QFETCH(QString, server);
        QFETCH(QString, expected);
        const QString root = QStringLiteral("/tmp/backup root");
        QString error;
        const QString got = VBackupPath::localTarget(root, QStringLiteral("1001"), QStringLiteral("sharedisk"), server,
                                                     &error);
        if (expected.isEmpty()) {
            QVERIFY2(got.isEmpty(), qPrintable(got));
            QCOMPARE(error, QStringLiteral("路径不合法"));
        } else {
            QCOMPARE(got, root + QLatin1Char('/') + expected);
            QVERIFY(error.isEmpty());
            QVERIFY(got.startsWith(root + QLatin1Char('/')));
        }
    }

    void rootForms_data()
    {
        QTest::addColumn<QString>("root");
        QTest::newRow("trailing slash") << "/tmp/r/";
        QTest::newRow("dot parts") << "/tmp/x/../r";
        QTest::newRow("filesystem root") << "/";
    }
    void rootForms()
    {
        QFETCH(QString, root);
        const QString clean = QDir::cleanPath(root);
        const QString got = VBackupPath::localTarget(root, QStringLiteral("1001"), QStringLiteral("sharedisk"),
                                                     QStringLiteral("/1001/sharedisk/a/b"));
        QCOMPARE(got, (clean == QLatin1String("/") ? QString() : clean) + QStringLiteral("/a/b"));
    }
};

QTEST_GUILESS_MAIN(TstBackupPath)
#include "tst_backuppath.moc"
