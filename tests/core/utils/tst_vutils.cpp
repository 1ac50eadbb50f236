#include "context/vconfigs.h"
#include "utils/vutils.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Formatting, paths, dates and the JSON text helpers, with bad input.
class TestVUtils : public QObject
{
    Q_OBJECT
    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    }

    void formatSize_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "-";
        QTest::newRow("one") << qint64(1) << "1B";
        QTest::newRow("1000") << qint64(1000) << "1000B";
        QTest::newRow("1023") << qint64(1023) << "1023B";
        QTest::newRow("1024") << qint64(1024) << "1KB";
        QTest::newRow("1536") << qint64(1536) << "1.5KB";
        QTest::newRow("1MiB") << qint64(1048576) << "1MB";
        QTest::newRow("1.25GiB") << qint64(1342177280) << "1.25GB";
        QTest::newRow("1023GiB") << qint64(1023) * 1073741824 << "1023GB";
        QTest::newRow("1TiB") << qint64(1099511627776) << "1TB";
        QTest::newRow("5PiB-in-TB") << qint64(5) * 1125899906842624 << "5120TB";
        // bytes * 100 no longer fits 64 bits here; must not wrap negative.
        QTest::newRow("int64-max") << std::numeric_limits<qint64>::max() << "8.38861e+06TB";
    }

    void formatSize()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(VUtils::formatSize(bytes), text);
    }

    void normalizePath_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("empty") << "" << "/";
        QTest::newRow("double-slash") << "a//b" << "/a/b/";
        QTest::newRow("many-slashes") << "//a////b//" << "/a/b/";
        QTest::newRow("upper") << "/Docs/Report" << "/docs/report/";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("cjk") << "课程/资料" << "/课程/资料/";
    }

    void normalizePath()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(VUtils::normalizePath(in), out);
    }

    void parentAndName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("name");
        QTest::newRow("file") << "/12/sharedisk/a/b.txt" << "/12/sharedisk/a" << "b.txt";
        QTest::newRow("folder-slash") << "/12/sharedisk/a/" << "/12/sharedisk" << "";
        QTest::newRow("top") << "/a" << "" << "a";
        QTest::newRow("bare") << "a" << "" << "a";
    }

    void parentAndName()
    {
        QFETCH(QString, path);
        QFETCH(QString, parent);
        QFETCH(QString, name);
        QCOMPARE(VUtils::parentPath(path), parent);
        QCOMPARE(VUtils::fileName(path), name);
    }

    void parseDateTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("when");
        QTest::newRow("ms") << "2024-03-05 07:08:09:123" << QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 123));
        QTest::newRow("seconds") << "2024-03-05 07:08:09" << QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9));
        QTest::newRow("date") << "2024-03-05" << QDateTime(QDate(2024, 3, 5), QTime(0, 0));
        QTest::newRow("digits") << "20240305" << QDateTime(QDate(2024, 3, 5), QTime(0, 0));
        QTest::newRow("slashes-unpadded") << "2024/3/5 7:8:9" << QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9));
        QTest::newRow("garbage") << "yesterday" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
        QTest::newRow("bad-month") << "2024-13-05" << QDateTime();
    }

    void parseDateTime()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, when);
        QCOMPARE(VUtils::parseDateTime(text), when);
    }

    void secondsToTime()
    {
        QCOMPARE(VUtils::secondsToTime(0), QTime(0, 0, 0));
        QCOMPARE(VUtils::secondsToTime(3725), QTime(1, 2, 5));
        QCOMPARE(VUtils::secondsToTime(86399), QTime(23, 59, 59));
    }

    void jsonRepairs()
    {
        // Strings holding "//" lose it; an array sent as a string is an array.
        const QJsonObject o = VUtils::toJsonObject(
            QStringLiteral("{\"Code\":0,\"Msg\":\"a//b\",\"data\":\"[{\\\"id\\\":1}]\"}"));
        QCOMPARE(o.value("Msg").toString(), QStringLiteral("ab"));
        QVERIFY(o.value("data").isArray());
        QCOMPARE(o.value("data").toArray().size(), 1);
    }

    void jsonArrayTextOnlyWhereItIsAnArray()
    {
        // A name that merely starts with "[" must not break the whole reply.
        const QJsonObject o = VUtils::toJsonObject(
            QStringLiteral("{\"Code\":0,\"data\":[{\"filename\":\"[2024]plan.docx\"},{\"filename\":\"[x]\"}]}"));
        QCOMPARE(o.value("Code").toInt(), 0);
        const QJsonArray list = o.value("data").toArray();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).toObject().value("filename").toString(), QStringLiteral("[2024]plan.docx"));
        QCOMPARE(list.at(1).toObject().value("filename").toString(), QStringLiteral("[x]"));
    }

    void jsonArrayPastedBetweenQuotes()
    {
        // Not JSON as sent; parses once the quotes around the array go.
        const QJsonObject o = VUtils::toJsonObject(QStringLiteral("{\"Code\":0,\"data\":\"[{\"id\":\"8\"}]\"}"));
        QCOMPARE(o.value("data").toArray().at(0).toObject().value("id").toString(), QString("8"));
    }

    void jsonRepairsPlainQuotes()
    {
        const QJsonObject o = VUtils::toJsonObject(QStringLiteral("{\"data\":\"[1,2,3]\"}"));
        QCOMPARE(o.value("data").toArray(), QJsonArray({1, 2, 3}));
        QCOMPARE(VUtils::toJsonArray(QStringLiteral("[{\"a\":\"x//y\"}]")).at(0).toObject().value("a").toString(),
                 QStringLiteral("xy"));
    }

    void jsonBadInput_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not-json") << QByteArray("<html>502 Bad Gateway</html>");
        QTest::newRow("truncated") << QByteArray("{\"Code\":0,\"data\":[1,2");
        QTest::newRow("number") << QByteArray("42");
        QByteArray binary(4096, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 131 + 7) & 0xff);
        QTest::newRow("binary") << binary;
    }

    void jsonBadInput()
    {
        QFETCH(QByteArray, text);
        const QString s = QString::fromUtf8(text);
        QVERIFY(VUtils::toJsonObject(s).isEmpty());
        QVERIFY(VUtils::toJsonArray(s).isEmpty());
    }

    void jsonObjectVersusArray()
    {
        QVERIFY(VUtils::toJsonObject("[1,2]").isEmpty());
        QVERIFY(VUtils::toJsonArray("{\"a\":1}").isEmpty());
    }

    void jsonHundredMegabytes()
    {
        // A 100 MB reply: one long string value. Parses, nothing lost.
        QString big;
        big.reserve(100 * 1024 * 1024 + 32);
        big += QStringLiteral("{\"data\":\"");
        big += QString(100 * 1024 * 1024, QLatin1Char('x'));
        big += QStringLiteral("\"}");
        const QJsonObject o = VUtils::toJsonObject(big);
        QCOMPARE(o.value("data").toString().size(), 100 * 1024 * 1024);
        QVERIFY(VUtils::toJsonArray(big).isEmpty());
    }

    void jsonTextRoundTrip()
    {
        QJsonObject o{{"name", QStringLiteral("资料")}, {"n", 5}, {"list", QJsonArray{1, "2"}}};
        const QString text = VUtils::toJsonText(o);
        QVERIFY(text.contains('\n')); // indented
        QCOMPARE(QJsonDocument::fromJson(text.toUtf8()).object(), o);
        const QJsonArray a{o, 3};
        QCOMPARE(QJsonDocument::fromJson(VUtils::toJsonText(a).toUtf8()).array(), a);
    }

    void viewerPath_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("page");
        QTest::newRow("docx") << "docx" << "/wv/wordviewerframe.aspx?";
        QTest::newRow("DOCX") << "DOCX" << "/wv/wordviewerframe.aspx?";
        QTest::newRow("rtf") << "rtf" << "/wv/wordviewerframe.aspx?";
        QTest::newRow("xlsx") << "xlsx" << "/x/_layouts/xlviewerinternal.aspx?";
        QTest::newRow("csv") << "csv" << "/x/_layouts/xlviewerinternal.aspx?";
        QTest::newRow("one") << "one" << "/o/onenoteframe.aspx?edit=0&";
        QTest::newRow("pdf") << "pdf" << "/wv/wordviewerframe.aspx?PdfMode=1&";
        QTest::newRow("pptx") << "pptx" << "/p/PowerPointFrame.aspx?PowerPointView=ReadingView&";
        QTest::newRow("txt") << "txt" << "";
        QTest::newRow("empty") << "" << "";
    }

    void viewerPath()
    {
        QFETCH(QString, ext);
        QFETCH(QString, page);
        QCOMPARE(VUtils::viewerPath(ext), page);
    }

    void addressesAndIds()
    {
        QCOMPARE(VUtils::downloadUrl("http://up.example:81", "f1", "tok"),
                 QStringLiteral("http://up.example:81/web/download/file?fileid=f1&tk=tok"));
        const QString a = VUtils::uuid();
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(a).hasMatch());
        QVERIFY(a != VUtils::uuid());
    }

    void compareVersion_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("equal") << "1.2.3" << "1.2.3" << 0;
        QTest::newRow("numeric-not-text") << "1.10.0" << "1.9.9" << 1;
        QTest::newRow("older") << "1.0.0" << "1.0.1" << -1;
        QTest::newRow("short") << "2" << "1.9" << 1;
        QTest::newRow("spaces") << " 1.0.0 " << "1.0.0" << 0;
        QTest::newRow("trailing zeros") << "1.0" << "1.0.0" << 0;
    }

    void compareVersion()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int r = VUtils::compareVersion(a, b);
        QCOMPARE((r > 0) - (r < 0), sign);
    }

    void freeFileName()
    {
        QTemporaryDir dir;
        const QString a = dir.path() + "/a.pdf";
        QCOMPARE(VUtils::freeFileName(a), a);
        for (const QString &n : {QStringLiteral("a.pdf"), QStringLiteral("a(1).pdf")}) {
            QFile f(dir.path() + "/" + n);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(VUtils::freeFileName(a), dir.path() + "/a(2).pdf");
        QFile plain(dir.path() + "/README");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QCOMPARE(VUtils::freeFileName(dir.path() + "/README"), dir.path() + "/README(1)");
        QFile dot(dir.path() + "/.hidden");
        QVERIFY(dot.open(QIODevice::WriteOnly));
        QCOMPARE(VUtils::freeFileName(dir.path() + "/.hidden"), dir.path() + "/.hidden(1)");
    }

    void dataDirFollowsConfigHomeAndEdition()
    {
        const QString base = home.path() + "/config/OrvelNetdisk";
        QCOMPARE(VUtils::dataDir(), base);
        VConfigs::instance()->setEdition(-1);
        QCOMPARE(VUtils::dataDir(), base + "(alpha)");
        VConfigs::instance()->setEdition(1);
        QCOMPARE(VUtils::dataDir(), base + "(beta)");
        VConfigs::instance()->setEdition(0);
        QCOMPARE(VUtils::dataDir(), base);
    }

    void dropFolderFound()
    {
        const QString marker = VUtils::createDropMarker();
        QVERIFY(!marker.isEmpty());
        QVERIFY(marker.startsWith(VUtils::dataDir() + "/cache/orvel"));
        QVERIFY(QFile::exists(marker));
        // A file manager copied the marker into the target folder.
        QTemporaryDir target;
        const QString landed = target.path() + "/" + QFileInfo(marker).fileName();
        QVERIFY(QFile::copy(marker, landed));
        QCOMPARE(VUtils::findDropFolder(marker, {target.path()}), target.path());
        QVERIFY(!QFile::exists(landed));
        QVERIFY(!QFile::exists(marker));
    }

    void dropFolderInHome()
    {
        const QString marker = VUtils::createDropMarker();
        const QString landed = home.path() + "/" + QFileInfo(marker).fileName();
        QVERIFY(QFile::copy(marker, landed));
        QCOMPARE(VUtils::findDropFolder(marker), home.path());
        QVERIFY(!QFile::exists(landed));
    }

    void dropFolderNotFound()
    {
        const QString marker = VUtils::createDropMarker();
        QCOMPARE(VUtils::findDropFolder(marker), QString());
        QCOMPARE(VUtils::findDropFolder(QString()), QString());
        QFile::remove(marker);
    }

    void elide()
    {
        const QFont font;
        const QString text = QStringLiteral("一个很长很长很长很长很长很长很长的文件名称.docx");
        QCOMPARE(VUtils::elide(QStringLiteral("a"), 500, font), QStringLiteral("a"));
        const QString shortText = VUtils::elide(text, 60, font);
        QVERIFY(shortText.endsWith(QChar(0x2026)));
        QVERIFY(QFontMetrics(font).horizontalAdvance(shortText) <= 60);
    }
};

QTEST_MAIN(TestVUtils)
#include "tst_vutils.moc"
