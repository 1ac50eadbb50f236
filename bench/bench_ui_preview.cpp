// Preview and edit-back timings against the stand-in service, offscreen:
//  - the first preview page loaded in a new window (cold: the web engine
//    starts), and again (warm);
//  - a save of an edit copy: from the moment it has settled (the stability
//    wait over) to the upload being handed to the transfer log, and to the
//    disk holding the new content.
// Prints one line per figure; bench/run-preview.sh puts the reference tools'
// figures beside them.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWebEngineView>

#include "Api/api.h"
#include "DB/db_self.h"
#include "VWidgets/voffice.h"
#include "VWidgets/vwebengineview.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "preview/veditback.h"
#include "preview/vpreviewurl.h"
#include "records/m_config.h"
#include "testhome.h"
#include "testserver.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransfertasklist.h"
#include "transfer/vtransferthrottle.h"

namespace {
QTextStream out(stdout);

double pageLoad(const QString &url)
{
    auto *w = new VOffice;
    w->setWindowTitle(QStringLiteral("bench"));
    QElapsedTimer t;
    t.start();
    w->open(QUrl(url));
    QSignalSpy loaded(w->view(), &QWebEngineView::loadFinished);
    loaded.wait(120000);
    const double ms = t.nsecsElapsed() / 1e6;
    delete w;
    return ms;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL, true);
    QApplication app(argc, argv);
    TestHome home;
    initOrvelCore();
    TestServer server;
    if (!server.start()) {
        out << "server: " << server.errorString() << Qt::endl;
        return 1;
    }
    VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    const QString token = server.signIn(QStringLiteral("demo"), QStringLiteral("demo123"));
    Api::instance()->setToken(token);
    QString err;
    const QString id = server.uploadFile(token, "/1001/sharedisk/", "bench.txt", QByteArray("line\n").repeated(2000), 0, &err);
    M_info_file f;
    f.id = id;
    f.filename = QStringLiteral("bench.txt");
    f.fileext = QStringLiteral("txt");
    f.filecategory = 4;
    VPreviewUrl::Bases b;
    b.download = server.rootUrl().chopped(1);
    b.preview = server.rootUrl();
    b.docs = server.rootUrl() + "docs/";
    b.api = server.rootUrl() + "api/";
    b.token = token;
    const QString url = VPreviewUrl::build(f, b).url;
    // Reference: curl fetching the same page (the server's share of a load).
    {
        QProcess curl;
        curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                            QStringLiteral("-w"), QStringLiteral("%{http_code} %{time_total}"), url});
        curl.waitForFinished(60000);
        const QStringList r = QString::fromLatin1(curl.readAllStandardOutput()).split(' ');
        if (r.size() == 2 && r.at(0) == QLatin1String("200"))
            out << "reference_curl_preview_page_ms " << r.at(1).toDouble() * 1000 << Qt::endl;
        else
            out << "reference_curl_preview_page_ms failed" << Qt::endl;
    }
    out << "preview_cold_ms " << pageLoad(url) << Qt::endl;
    double warm = 1e18;
    for (int i = 0; i < 5; ++i)
        warm = qMin(warm, pageLoad(url));
    out << "preview_warm_ms " << warm << Qt::endl;

    // Edit-back: a 4 MiB document saved five times.
    QTemporaryDir dir;
    db_self store(dir.filePath(QStringLiteral("user")));
    store.connectHub();
    VTransferThrottle::upload()->setLimit(0);
    VTransferThrottle::download()->setLimit(0);
    M_config::instance()->Transfer_threadcount_upload = 2;
    VTransferTaskList up(VTransferTaskList::Upload, &store);
    VTransferTaskList down(VTransferTaskList::Download, &store);
    VEditBack *edit = VEditBack::instance();
    edit->setStableInterval(200);
    QObject::connect(edit, &VEditBack::signalFileChanged, edit,
                     [edit](const QString &p) { edit->answer(p, true, true); });
    const QByteArray content(4 << 20, 'a');
    const QString docId = server.uploadFile(token, "/1001/sharedisk/", "bench.docx", content, 0, &err);
    M_info_file doc(server.call("api/v1/wp/file/info", {{"fileid", docId}}, token).value("data").toObject());
    QSignalSpy watching(edit, &VEditBack::signalWatching);
    edit->open(doc);
    watching.wait(60000);
    const QString path = watching.isEmpty() ? QString() : watching.first().first().toString();
    double bestQueued = 1e18, bestDone = 1e18;
    for (int i = 0; i < 5; ++i) {
        QByteArray next = content;
        next[i] = 'b';
        QSignalSpy queued(edit, &VEditBack::signalUploadQueued);
        QSignalSpy uploaded(edit, &VEditBack::signalUploaded);
        QSaveFile s(path);
        s.open(QIODevice::WriteOnly);
        s.write(next);
        s.commit();
        QElapsedTimer t;
        t.start();
        queued.wait(60000);
        const double q = t.nsecsElapsed() / 1e6;
        if (uploaded.isEmpty())
            uploaded.wait(60000);
        const double d = t.nsecsElapsed() / 1e6;
        // the check reads size and time twice, one interval apart, before it
        // counts the save as settled
        const double wait = 2.0 * edit->stableInterval();
        bestQueued = qMin(bestQueued, q - wait);
        bestDone = qMin(bestDone, d - wait);
    }
    out << "editback_settled_to_queued_ms " << bestQueued << Qt::endl;
    out << "editback_settled_to_uploaded_ms " << bestDone << Qt::endl;
    out << "editback_file_bytes " << content.size() << Qt::endl;
    up.stopAll();
    down.stopAll();
    edit->shutdown();
    return 0;
}
