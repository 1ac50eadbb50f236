// Preview addresses: which page each file type opens, the size limits at the
// byte, and the pages the stand-in service serves for them (the name arrives
// intact as the title, an office document names the viewer it was asked for,
// a token never reaches the log line).

#include <QUrlQuery>
#include <QtTest>

#include "context/vglobalparameter.h"
#include "preview/vpreviewurl.h"
#include "testhome.h"
#include "testserver.h"

namespace {
constexpr qint64 MiB = 1048576;

M_info_file entry(const QString &name, int category, qint64 size, const QString &id = QStringLiteral("42"))
{
    M_info_file f;
    f.id = id;
    f.filename = name;
    const int dot = name.lastIndexOf('.');
    f.fileext = dot >= 0 ? name.mid(dot + 1) : QString();
    f.filecategory = category;
    f.filesize = size;
    return f;
}

VPreviewUrl::Bases bases(const QString &root)
{
    VPreviewUrl::Bases b;
    b.download = root.chopped(1);
    b.preview = root;
    b.docs = root + "docs/";
    b.api = root + "api/";
    b.token = QStringLiteral("TOKEN-abc");
    return b;
}
} // namespace

class TstPreviewUrl : public QObject
{
    Q_OBJECT
    TestHome m_home;
    TestServer m_server;
    QString m_token;

private slots:
    void pages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("category");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("page"); // start of the path after the root; empty: nothing opens
        QTest::addColumn<QString>("error");
        const QString big5 = QStringLiteral("文件超过5M，不支持在线预览，请下载后打开");
        const QString big10 = QStringLiteral("文件超过10M，不支持在线预览，请下载后打开");
        QTest::newRow("image") << "a.png" << 3 << 100LL << "preview/?url=" << "";
        QTest::newRow("image upper case") << "B.JPG" << 3 << 100LL << "preview/?url=" << "";
        QTest::newRow("txt") << "a.txt" << 4 << 100LL << "preview/?url=" << "";
        QTest::newRow("TXT") << "A.TXT" << 4 << 100LL << "preview/?url=" << "";
        QTest::newRow("docx") << "a.docx" << 4 << 100LL << "docs/wv/wordviewerframe.aspx?WOPISrc=" << "";
        QTest::newRow("DOC upper") << "A.DOC" << 4 << 100LL << "docs/wv/wordviewerframe.aspx?WOPISrc=" << "";
        QTest::newRow("pdf") << "a.pdf" << 4 << 100LL << "docs/wv/wordviewerframe.aspx?PdfMode=1&WOPISrc=" << "";
        QTest::newRow("xlsx") << "a.xlsx" << 4 << 100LL << "docs/x/_layouts/xlviewerinternal.aspx?WOPISrc=" << "";
        QTest::newRow("csv") << "a.csv" << 4 << 100LL << "docs/x/_layouts/xlviewerinternal.aspx?WOPISrc=" << "";
        QTest::newRow("one") << "a.one" << 4 << 100LL << "docs/o/onenoteframe.aspx?edit=0&WOPISrc=" << "";
        QTest::newRow("pptx") << "a.pptx" << 4 << 100LL
                              << "docs/p/PowerPointFrame.aspx?PowerPointView=ReadingView&WOPISrc=" << "";
        QTest::newRow("sheet at 5 MiB") << "a.xlsx" << 4 << 5 * MiB << "docs/x/" << "";
        QTest::newRow("sheet 1 byte over") << "a.xls" << 4 << 5 * MiB + 1 << "" << big5;
        QTest::newRow("sheet 6 MiB") << "a.xlsx" << 4 << 6 * MiB << "" << big5;
        QTest::newRow("word 6 MiB opens") << "a.docx" << 4 << 6 * MiB << "docs/wv/" << "";
        QTest::newRow("word at 10 MiB") << "a.docx" << 4 << 10 * MiB << "docs/wv/" << "";
        QTest::newRow("word 1 byte over") << "a.docx" << 4 << 10 * MiB + 1 << "" << big10;
        QTest::newRow("slides 12 MiB") << "a.pptx" << 4 << 12 * MiB << "" << big10;
        QTest::newRow("pdf 1 byte over") << "a.PDF" << 4 << 10 * MiB + 1 << "" << big10;
        QTest::newRow("text is not limited") << "a.txt" << 4 << 20 * MiB << "preview/?url=" << "";
        QTest::newRow("markdown: nothing") << "a.md" << 4 << 10LL << "" << "";
        QTest::newRow("video: nothing") << "a.mp4" << 1 << 10LL << "" << "";
        QTest::newRow("no extension") << "README" << 4 << 10LL << "" << "";
    }
    void pages()
    {
        QFETCH(QString, name);
        QFETCH(int, category);
        QFETCH(qint64, size);
        QFETCH(QString, page);
        QFETCH(QString, error);
        const QString root = QStringLiteral("http://127.0.0.1:9/");
        const VPreviewUrl::Result r = VPreviewUrl::build(entry(name, category, size), bases(root));
        QCOMPARE(r.error, error);
        if (page.isEmpty()) {
            QVERIFY2(r.url.isEmpty(), qPrintable(r.url));
            return;
        }
        QVERIFY2(r.url.startsWith(root + page), qPrintable(r.url));
        QVERIFY(!VPreviewUrl::masked(r.url).contains("TOKEN-abc"));
        const QUrlQuery q{QUrl(r.url)};
        if (page.startsWith("preview/")) {
            QCOMPARE(q.queryItemValue("title", QUrl::FullyDecoded), name);
            QCOMPARE(q.queryItemValue("filetype"), category == 3 ? QString("image") : QString("txt"));
            QCOMPARE(QUrl(q.queryItemValue("url", QUrl::FullyDecoded)).path(), QString("/web/preview/file"));
        } else {
            QCOMPARE(q.queryItemValue("WOPISrc", QUrl::FullyDecoded), root + "api/v1/wp/wopi/files/42/review");
            QCOMPARE(q.queryItemValue("ui"), QString("zh-CN"));
        }
    }

    void previewTest_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("category");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("admin");
        QTest::addColumn<bool>("ok");
        QTest::newRow("image") << "png" << 3 << "000000001" << false << true;
        QTest::newRow("docx") << "DOCX" << 4 << "1" << false << true;
        QTest::newRow("txt") << "txt" << 4 << "1" << false << true;
        QTest::newRow("markdown") << "md" << 4 << "1" << false << false;
        QTest::newRow("video") << "mp4" << 1 << "1" << false << false;
        QTest::newRow("no preview right") << "docx" << 4 << "111111110" << false << false;
        QTest::newRow("administrator") << "docx" << 4 << "0" << true << true;
    }
    void previewTest()
    {
        QFETCH(QString, ext);
        QFETCH(int, category);
        QFETCH(QString, code);
        QFETCH(bool, admin);
        QFETCH(bool, ok);
        QCOMPARE(VPreviewUrl::canPreview(ext, category, code, admin), ok);
    }

    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
        QString err;
        m_token = m_server.signIn(QStringLiteral("demo"), QStringLiteral("demo123"), 0, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
    }

    // The stand-in's pages for the addresses built above.
    void servedPages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("category");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expect"); // in the page body
        QTest::newRow("text") << "说明.txt" << 4 << QByteArray("第一行\n<b>第二行</b>") << "&lt;b&gt;第二行";
        QTest::newRow("odd name as title") << "a&b #1+2%.png" << 3 << QByteArray("\x89PNG") << "<title>a&amp;b #1+2%.png</title>";
        QTest::newRow("image fetched with the token") << "图.png" << 3 << QByteArray("\x89PNG") << "id=\"preview-image\"";
        QTest::newRow("word viewer") << "计划.docx" << 4 << QByteArray("not really a docx") << "<p id=\"viewer-kind\">word</p>";
        QTest::newRow("spreadsheet viewer") << "成绩.xlsx" << 4 << QByteArray("x") << "<p id=\"viewer-kind\">excel</p>";
        QTest::newRow("slides viewer") << "课件.pptx" << 4 << QByteArray("x") << "<p id=\"viewer-kind\">powerpoint</p>";
        QTest::newRow("pdf viewer") << "讲义.pdf" << 4 << QByteArray("x") << "<p id=\"viewer-kind\">pdf</p>";
    }
    void servedPages()
    {
        QFETCH(QString, name);
        QFETCH(int, category);
        QFETCH(QByteArray, content);
        QFETCH(QString, expect);
        QString err;
        const QString id = m_server.uploadFile(m_token, "/1001/sharedisk/", name, content, 2, &err);
        QVERIFY2(!id.isEmpty(), qPrintable(err));
        VPreviewUrl::Bases b = bases(m_server.rootUrl());
        b.token = m_token;
        const VPreviewUrl::Result r = VPreviewUrl::build(entry(name, category, content.size(), id), b);
        const TestServer::Reply page = m_server.request("GET", r.url);
        QCOMPARE(page.status, 200);
        QVERIFY2(page.body.contains(expect.toUtf8()), page.body.constData());
        QVERIFY(!page.body.contains("preview-error"));
        if (category == 3) {
            // the image inside is the file's own address, with the token
            const QString target = QUrlQuery(QUrl(r.url)).queryItemValue("url", QUrl::FullyDecoded);
            const TestServer::Reply img = m_server.request("GET", target);
            QCOMPARE(img.status, 200);
            QCOMPARE(img.body, content);
        }
    }

    // Addresses the client never builds are refused by the stand-in, so a
    // wrong builder fails here rather than showing a page.
    void wrongAddressesFail_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("foreign target") << "preview/?url=http%3A%2F%2Fexample.invalid%2Fweb%2Fpreview%2Ffile%3Ffileid%3D1&filetype=image";
        QTest::newRow("unknown filetype") << "preview/?url=ROOT%2Fweb%2Fpreview%2Ffile%3Ffileid%3DID%26tk%3DTK&filetype=docx";
        QTest::newRow("WOPISrc without review") << "docs/wv/wordviewerframe.aspx?WOPISrc=ROOT%2Fapi%2Fv1%2Fwp%2Fwopi%2Ffiles%2FID&access_token=TK";
        QTest::newRow("unknown viewer") << "docs/zz/viewer.aspx?WOPISrc=ROOT%2Fapi%2Fv1%2Fwp%2Fwopi%2Ffiles%2FID%2Freview&access_token=TK";
    }
    void wrongAddressesFail()
    {
        QFETCH(QString, suffix);
        QString err;
        const QString id = m_server.uploadFile(m_token, "/1001/sharedisk/", "错.docx", "x", 2, &err);
        QVERIFY(!id.isEmpty());
        suffix.replace("ROOT", QString::fromLatin1(QUrl::toPercentEncoding(m_server.rootUrl().chopped(1))));
        suffix.replace("ID", id).replace("TK", m_token);
        const TestServer::Reply page = m_server.request("GET", m_server.rootUrl() + suffix);
        QVERIFY2(page.body.contains("preview-error"), page.body.constData());
    }
};

QTEST_GUILESS_MAIN(TstPreviewUrl)
#include "tst_previewurl.moc"
