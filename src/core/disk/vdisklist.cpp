#include "disk/vdisklist.h"

#include "utils/vjsonsort.h"

#include <QtConcurrent/QtConcurrentRun>

VDiskList::VDiskList(QObject *parent) : QObject(parent) {}

VDiskList::~VDiskList()
{
    for (QFutureWatcher<QJsonArray> *w : qAsConst(m_watchers)) {
        w->disconnect(this);
        w->waitForFinished();
    }
}

int VDiskList::pageCount() const
{
    return qMax(1, (int(m_items.size()) + PageSize - 1) / PageSize);
}

QJsonArray VDiskList::sortItems(const QJsonArray &items, const QString &key, bool descending)
{
    // Folders stay in front in both directions.
    VJsonSort::Key dirs{QStringLiteral("isdir"), true, true};
    VJsonSort::Key col{key, key == QLatin1String("filesize"), descending};
    return VJsonSort::sort(items, dirs, col);
}

void VDiskList::setItems(const QJsonArray &items, bool resetPage)
{
    m_items = items;
    if (resetPage)
        m_page = 1;
    startSort();
}

void VDiskList::clear()
{
    setItems(QJsonArray(), true);
}

void VDiskList::setSort(const QString &key, bool descending)
{
    m_key = key;
    m_descending = descending;
    startSort();
}

bool VDiskList::setSortColumn(int column, bool descending)
{
    static const char *const keys[] = {"filename", "updatetime", "filesize"};
    if (column < 1 || column > 3)
        return false;
    setSort(QString::fromLatin1(keys[column - 1]), descending);
    return true;
}

void VDiskList::setPage(int page)
{
    m_page = qBound(1, page, pageCount());
    ++m_build;
    if (!m_sorting)
        emitPage();
}

void VDiskList::startSort()
{
    ++m_build;
    const quint64 seq = ++m_sortSeq;
    m_sorting = true;
    m_sorted = QJsonArray();
    m_pageItems.clear();
    emit signalBuilding(true);
    auto *w = new QFutureWatcher<QJsonArray>(this);
    m_watchers << w;
    connect(w, &QFutureWatcher<QJsonArray>::finished, this, [this, w, seq] {
        m_watchers.removeOne(w);
        w->deleteLater();
        if (seq != m_sortSeq)
            return; // a newer sort is on its way
        m_sorted = w->result();
        m_sorting = false;
        m_page = qBound(1, m_page, pageCount());
        emitPage();
    });
    w->setFuture(QtConcurrent::run(&VDiskList::sortItems, m_items, m_key, m_descending));
}

void VDiskList::emitPage()
{
    const int from = (m_page - 1) * PageSize;
    const int to = qMin(int(m_sorted.size()), from + PageSize);
    m_pageItems.clear();
    m_pageItems.reserve(qMax(0, to - from));
    for (int i = from; i < to; ++i)
        m_pageItems.append(M_fileinfo::fromDiskList(m_sorted.at(i).toObject()));
    emit signalBuilding(false);
    emit signalPageReady(m_build, m_pageItems);
}
