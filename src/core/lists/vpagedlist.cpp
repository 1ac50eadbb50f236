#include "lists/vpagedlist.h"

#include "utils/vjsonsort.h"

#include <QtConcurrent/QtConcurrentRun>

VPagedList::VPagedList(const QList<Column> &columns, QObject *parent) : QObject(parent), m_columns(columns)
{
    if (!m_columns.isEmpty()) {
        m_key = m_columns.first().key;
        m_numeric = m_columns.first().numeric;
    }
}

VPagedList::~VPagedList()
{
    for (QFutureWatcher<QJsonArray> *w : qAsConst(m_watchers)) {
        w->disconnect(this);
        w->waitForFinished();
    }
}

int VPagedList::pageCount() const
{
    return qMax(1, (int(m_items.size()) + PageSize - 1) / PageSize);
}

QJsonArray VPagedList::sortItems(const QJsonArray &items, const QString &key, bool numeric, bool descending)
{
    if (key.isEmpty())
        return items;
    return VJsonSort::sort(items, VJsonSort::Key{key, numeric, descending});
}

void VPagedList::setItems(const QJsonArray &items)
{
    m_items = items;
    m_page = 1;
    startSort();
}

bool VPagedList::setSortColumn(int column, bool descending)
{
    if (column < 1 || column > m_columns.size() || m_columns.at(column - 1).key.isEmpty())
        return false;
    const Column &c = m_columns.at(column - 1);
    setSort(c.key, c.numeric, descending);
    return true;
}

void VPagedList::setSort(const QString &key, bool numeric, bool descending)
{
    m_key = key;
    m_numeric = numeric;
    m_descending = descending;
    startSort();
}

void VPagedList::setPage(int page)
{
    m_page = qBound(1, page, pageCount());
    ++m_build;
    if (!m_sorting)
        emitPage();
}

QJsonObject VPagedList::find(const QString &id, const QString &key) const
{
    for (const QJsonValue &v : m_items) {
        const QJsonObject o = v.toObject();
        if (o.value(key).toVariant().toString() == id)
            return o;
    }
    return QJsonObject();
}

void VPagedList::startSort()
{
    ++m_build;
    const quint64 seq = ++m_sortSeq;
    m_sorting = true;
    m_sorted = QJsonArray();
    m_pageItems = QJsonArray();
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
    // The worker gets its own copies: the list may change while it sorts.
    w->setFuture(QtConcurrent::run(&VPagedList::sortItems, m_items, m_key, m_numeric, m_descending));
}

void VPagedList::emitPage()
{
    const int from = (m_page - 1) * PageSize;
    const int to = qMin(int(m_sorted.size()), from + PageSize);
    m_pageItems = QJsonArray();
    for (int i = from; i < to; ++i)
        m_pageItems.append(m_sorted.at(i));
    emit signalBuilding(false);
    emit signalPageReady(m_build, m_pageItems);
}
