// The preview window against the stand-in service: what the page shows for a
// text file, an image (fetched with the token), a document and a
// spreadsheet, "权限不足" opening no window, the frame's maximise toggle, and
// a closed window being freed. Also the edit-back prompts: their texts, the
// escaped file name, and named buttons.

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QtTest>

#include "Api/api.h"
#include "VWidgets/vdialog.h"
#include "VWidgets/voffice.h"
#include "VWidgets/vwebengineview.h"
#include "accessibilitycheck.h"
#include "context/vglobalparameter.h"
#include "context/vglobalresource.h"
#include "preview/veditback.h"
#include "records/metatypes.h"
#include "task/vglobaltask.h"
#include "testhome.h"
#include "testserver.h"
#include "transfer/vglobalconnect.h"
#include "uitestsetup.h"

class TstVOffice : public QObject
{
    Q_OBJECT
    TestHome m_home;
    TestServer m_server;
    QString m_token;

    QString upload(const QString &name, const QByteArray &content)
    {
        QString err;
        const QString id = m_server.uploadFile(m_token, "/1001/sharedisk/", name, content, 2, &err);
        if (id.isEmpty())
            qWarning() << err;
        return id;
    }

    // Asks for the preview the way a page does and waits for the window's page.
    VOffice *preview(const QString &id)
    {
        QSignalSpy opened(VGlobalTask::instance(), &VGlobalTask::signalPreviewOpened);
        emit VGlobalConnect::instance()->signalFileOp(fileop_viewonline, id);
        if (!opened.wait(30000))
            return nullptr;
        auto *w = opened.first().first().value<VOffice *>();
        QSignalSpy loaded(w->view(), &QWebEngineView::loadFinished);
        if (!loaded.wait(60000) || !loaded.first().first().toBool())
            return nullptr;
        return w;
    }

    // The window as the screen shows it (the page is drawn by the GPU
    // process, which a widget grab does not see); only when pictures are asked for.
    static void shotWindow(QWidget *w, const QString &name)
    {
        const QString dir = qEnvironmentVariable("ORVEL_SHOT_DIR");
        if (dir.isEmpty() || !w->screen())
            return;
        QDir().mkpath(dir);
        w->raise();
        QTimer settle;
        settle.setSingleShot(true);
        QSignalSpy done(&settle, &QTimer::timeout);
        settle.start(1500); // let the page paint
        done.wait(5000);
        w->screen()->grabWindow(w->winId()).save(dir + '/' + name);
    }

    static QByteArray picture()
    {
        QImage img(480, 300, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient g(0, 0, 480, 300);
        g.setColorAt(0, QColor(0x00, 0x81, 0xdd));
        g.setColorAt(1, QColor(0x8e, 0xd1, 0xfc));
        p.fillRect(img.rect(), g);
        p.setBrush(QColor(0xff, 0xd0, 0x4d));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(360, 80), 40, 40);
        p.setBrush(QColor(0x2f, 0xa8, 0x4f));
        p.drawPolygon(QPolygon({QPoint(0, 300), QPoint(160, 150), QPoint(300, 300)}));
        p.end();
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        return png;
    }

    static QString js(VOffice *w, const QString &script)
    {
        QString out;
        bool done = false;
        w->view()->page()->runJavaScript(script, [&](const QVariant &v) {
            out = v.toString();
            done = true;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 30000); }();
        return out;
    }

private slots:
    void initTestCase()
    {
        uiTestSetup();
        registerMetaTypes();
        qRegisterMetaType<VOffice *>();
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
        VGlobalParameter::instance()->setServerRoot(m_server.rootUrl());
        QString err;
        m_token = m_server.signIn(QStringLiteral("demo"), QStringLiteral("demo123"), 0, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
        Api::instance()->setToken(m_token);
        VGlobalTask::instance();
    }

    void pages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << "说明.txt" << QByteArray("第一行\n<b>第二行</b>")
                              << "document.getElementById('preview-text').textContent" << "第一行\n<b>第二行</b>";
        // a picture: the page loads it through its own address, with the token
        QTest::newRow("image") << "a&b #1+2%.png" << picture()
                               << "(function(){var i=document.getElementById('preview-image');"
                                  "return i.complete?String(i.naturalWidth):'loading';})()"
                               << "480";
        QTest::newRow("image title") << "x&y #3+4%.png" << QByteArray("x") << "document.title" << "x&y #3+4%.png";
        QTest::newRow("document") << "教学计划.docx" << QByteArray("x")
                                  << "document.getElementById('doc-name').textContent" << "教学计划.docx";
        QTest::newRow("spreadsheet") << "成绩.xlsx" << QByteArray("x")
                                     << "document.getElementById('viewer-kind').textContent" << "excel";
    }
    void pages()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        const QString id = upload(name, content);
        QVERIFY(!id.isEmpty());
        VOffice *w = preview(id);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), name);
        QVERIFY(!w->url().toString().contains("tk=" + m_token) || w->url().toString().contains("preview/"));
        QTRY_COMPARE_WITH_TIMEOUT(js(w, script), expected, 30000);
        const QStringList bad = unnamedControls(w);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        const QString tag = QString::fromUtf8(QTest::currentDataTag()).replace(' ', '-');
        shotWindow(w, QStringLiteral("voffice-%1.png").arg(tag));
        if (tag == "document" || tag == "image") {
            w->slot2max();
            shotWindow(w, QStringLiteral("voffice-%1-maximised.png").arg(tag));
            w->slot2max();
        }
        QPointer<VOffice> guard(w);
        w->slot2close();
        QTRY_VERIFY(!guard); // closed windows are freed
    }

    // The frame: maximise and back, by the button and by a double click on the strip.
    void maximiseToggles()
    {
        VOffice *w = preview(upload("窗口.txt", "x"));
        QVERIFY(w);
        auto *max = w->findChild<QToolButton *>("toolButton_max");
        QVERIFY(max);
        const QSize normal = w->size();
        max->click();
        QVERIFY(w->isMaximizedState());
        QCOMPARE(max->toolTip(), QStringLiteral("还原"));
        QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, 12));
        QVERIFY(!w->isMaximizedState());
        QCOMPARE(max->toolTip(), QStringLiteral("最大化"));
        QCOMPARE(w->size(), normal);
        // the page puts the arrow cursor back after a border resize cursor
        w->setCursor(Qt::SizeHorCursor);
        emit w->view()->signalEnter();
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        VGlobalTask::instance()->shutdown(); // closes every preview window at once
        QVERIFY(VGlobalTask::instance()->previewWindows().isEmpty());
    }

    // No right, no window: the error toast says why.
    void noRightNoWindow()
    {
        const QString id = upload("禁止.docx", "x");
        QString err;
        const QString student = m_server.signIn(QStringLiteral("student"), QStringLiteral("student123"), 0, &err);
        QVERIFY2(!student.isEmpty(), qPrintable(err));
        Api::instance()->setToken(student);
        QSignalSpy toast(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        emit VGlobalConnect::instance()->signalFileOp(fileop_editlocal, id);
        QVERIFY(toast.wait(30000));
        QCOMPARE(toast.first().first().toString(), QStringLiteral("权限不足"));
        Api::instance()->setToken(m_token);
        QVERIFY(VGlobalTask::instance()->previewWindows().isEmpty());
        QVERIFY(!QDir(VEditBack::editFolder(id)).exists());
    }

    // The prompts: text, escaped name, named buttons; only Confirm with the
    // box ticked stops the asking.
    void prompts()
    {
        M_editfile e;
        e.fileid = "77";
        e.filename = "<b>计划</b>.docx";
        e.localPath = QDir::tempPath() + "/orvel-prompt-test/计划.docx";
        VGlobalResource::instance()->setEditFile(e);
        emit VGlobalTask::instance()->signalFileChanged(e.localPath);
        VDialog *d = nullptr;
        QTRY_VERIFY((d = qApp->findChild<VDialog *>("dialog_editchanged")) || [&] {
            for (QWidget *t : QApplication::topLevelWidgets())
                if (t->objectName() == "dialog_editchanged")
                    d = qobject_cast<VDialog *>(t);
            return d != nullptr;
        }());
        auto *text = d->findChild<QLabel *>("label_text");
        QVERIFY(text->text().contains("文件已经修改，是否保存到网盘？"));
        QVERIFY(text->text().contains("&lt;b&gt;计划&lt;/b&gt;.docx"));
        QCOMPARE(d->okButton()->text(), QStringLiteral("覆盖更新"));
        auto *box = d->findChild<QCheckBox *>("checkBox");
        QCOMPARE(box->text(), QStringLiteral("本次编辑不再提醒"));
        const QStringList bad = unnamedControls(d);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        // a second change while it is open raises the same prompt
        emit VGlobalTask::instance()->signalFileChanged(e.localPath);
        int open = 0;
        for (QWidget *t : QApplication::topLevelWidgets())
            open += t->objectName() == "dialog_editchanged" && t->isVisible();
        QCOMPARE(open, 1);
        box->setChecked(true);
        shotWindow(d, QStringLiteral("edit-prompt.png"));
        d->reject(); // ticked but cancelled: still asks next time
        QVERIFY(!VEditBack::instance()->isDoNotAsk(e.localPath));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL, true);
    QApplication app(argc, argv);
    TstVOffice t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_voffice.moc"
