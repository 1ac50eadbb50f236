// The disk page with a large folder, offscreen, on canned replies: from the
// reply to the first page on screen (the page already shown, as in the
// program), page changes and re-sorts (five each, best and worst), with an
// event-loop lag probe (a 2 ms timer; the longest gap between its ticks is
// the longest stall) and the number of row widgets alive.
// Usage: bench_ui_disklist [entries...]   (default 10000 100000)
#include "gonggongwangpan/vgonggongwangpan.h"
#include "gonggongwangpan/vgonggongwangpan_flow.h"
#include "gonggongwangpan/vgonggongwangpan_list.h"
#include "gonggongwangpan/vgonggongwangpan_list_item.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"

#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "disk/vdisklist.h"
#include "utils/vjsonsort.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>

namespace {

class LagProbe : public QObject
{
public:
    LagProbe()
    {
        m_timer.setInterval(2);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last > 0)
                m_max = std::max(m_max, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_max = 0;
        m_last = 0;
        m_clock.start();
        m_timer.start();
    }
    double stopMs()
    {
        m_timer.stop();
        return m_max / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_max = 0;
};

QByteArray cannedReply(int n, const QString &path = QStringLiteral("/大/"))
{
    QRandomGenerator rng(7);
    static const QStringList words{"报告", "report", "File", "photo", "课程", "notes", "数据", "backup"};
    QJsonArray list;
    for (int i = 0; i < n; ++i) {
        const bool dir = i % 50 == 0;
        const QString name = words.at(int(rng.bounded(words.size()))) + QString::number(rng.bounded(1000000)) +
                             (dir ? QString() : QStringLiteral(".docx"));
        list.append(QJsonObject{{"id", QString::number(100000 + i)}, {"pid", "9"}, {"filename", name},
                                {"fileext", dir ? "" : "docx"}, {"fullpath", "/1001/sharedisk/大/" + name},
                                {"bankuai", "sharedisk"}, {"filesize", double(rng.bounded(1 << 30))},
                                {"isdir", dir}, {"filetype", 4},
                                {"createtime", "2024-03-01 10:00:00"},
                                {"updatetime", QStringLiteral("2024-03-%1 10:%2:00").arg(1 + rng.bounded(28), 2, 10, QLatin1Char('0')).arg(rng.bounded(60), 2, 10, QLatin1Char('0'))},
                                {"updateusername", "张老师"}, {"createusername", "张老师"},
                                {"isadmin", false}, {"permissioncode", "111111111"}});
    }
    const QJsonObject dir{{"id", "9"}, {"filename", "大"}, {"fullpath", "/1001/sharedisk/大"}, {"isdir", true},
                          {"permissioncode", "111111111"}, {"isadmin", false}};
    const QJsonObject reply{{"Code", 0}, {"Msg", "获取成功"},
                            {"data", QJsonObject{{"list", list}, {"dirinfo", dir}, {"total", n}}},
                            {"customdata", QJsonObject{{"seq", "0"}, {"path", path}, {"search", ""}}}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

int rowWidgets(QWidget *page)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return page->findChildren<VGonggongwangpan_list_item *>().size();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initOrvelCore();
    // The page asks for favourites and details beside the listing: keep those
    // on loopback (a closed port), the listing itself is canned.
    VGlobalParameter::instance()->setServerRoot(QStringLiteral("http://127.0.0.1:9/"));
    QTextStream out(stdout);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 100000};

    out << "entries | parse reply (pool) | reply->first page | stall then | other keys read after | page change best/worst"
           " | re-sort best/worst | stall over page changes and sorts | rows alive list/icon\n";
    for (int n : sizes) {
        const QByteArray text = cannedReply(n);
        QElapsedTimer t;
        t.start();
        const QJsonObject reply = QJsonDocument::fromJson(text).object();
        const double parseMs = t.nsecsElapsed() / 1e6;

        VGonggongwangpan page;
        page.resize(1200, 800);
        // The page is on screen, showing the previous folder, when the reply comes.
        page.slotGetList(QJsonDocument::fromJson(cannedReply(3, "/上一层/")).object());
        page.show();
        QCoreApplication::processEvents();
        LagProbe probe;
        auto waitPage = [&](auto start) {
            QEventLoop loop;
            bool done = false;
            const auto c = QObject::connect(page.listView(), &VGonggongwangpan_list::signalFinishCreate, &loop,
                                            [&](quint64 build) {
                                                if (build == page.model()->buildId()) {
                                                    done = true;
                                                    loop.quit();
                                                }
                                            });
            QElapsedTimer clock;
            probe.start();
            clock.start();
            start();
            if (!done)
                loop.exec();
            page.repaint();
            const double ms = clock.nsecsElapsed() / 1e6;
            QObject::disconnect(c);
            QCoreApplication::processEvents();
            return std::make_pair(ms, probe.stopMs());
        };
        const auto first = waitPage([&] { page.slotGetList(reply); });
        // The other columns' keys are read on the pool once the page is on screen.
        QElapsedTimer keys;
        keys.start();
        while (!(page.model()->hasKeys("updatetime") && page.model()->hasKeys("filesize")))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double keysMs = keys.nsecsElapsed() / 1e6;
        double stall = 0;
        QList<double> pages, sorts;
        for (int r = 0; r < 5; ++r) {
            const auto pc = waitPage([&] { page.listView()->grid()->pager()->goToPage(2 + r); });
            pages << pc.first;
            stall = std::max(stall, pc.second);
            const auto so = waitPage([&] { page.model()->setSortColumn(1 + r % 3, r % 2 == 0); });
            sorts << so.first;
            stall = std::max(stall, so.second);
        }
        std::sort(pages.begin(), pages.end());
        std::sort(sorts.begin(), sorts.end());
        const int listRows = rowWidgets(&page);
        // The icon view builds its page at once (plain items), when it is on screen.
        page.slotIsShitu(true);
        probe.start();
        page.flowView()->pager()->goToPage(5);
        QCoreApplication::processEvents();
        stall = std::max(stall, probe.stopMs());
        const int iconItems = page.flowView()->itemCount();
        out << QStringLiteral("%1 | %2 ms | %3 ms | %4 ms | %5 ms | %6/%7 ms | %8/%9 ms | %10 ms | %11/%12\n")
                   .arg(n)
                   .arg(parseMs, 0, 'f', 1)
                   .arg(first.first, 0, 'f', 1)
                   .arg(first.second, 0, 'f', 1)
                   .arg(keysMs, 0, 'f', 1)
                   .arg(pages.first(), 0, 'f', 1)
                   .arg(pages.last(), 0, 'f', 1)
                   .arg(sorts.first(), 0, 'f', 1)
                   .arg(sorts.last(), 0, 'f', 1)
                   .arg(stall, 0, 'f', 1)
                   .arg(listRows)
                   .arg(iconItems);
        out.flush();
    }
    // Reference: the sort alone on the same data, without any widget.
    for (int n : sizes) {
        const QJsonArray list = QJsonDocument::fromJson(cannedReply(n)).object().value("data").toObject().value("list").toArray();
        QElapsedTimer t;
        t.start();
        const QJsonArray s = VDiskList::sortItems(list, "filename", false);
        out << QStringLiteral("reference: VJsonSort folders-first by name, %1 entries: %2 ms\n")
                   .arg(s.size())
                   .arg(t.nsecsElapsed() / 1e6, 0, 'f', 1);
    }
    return 0;
}
