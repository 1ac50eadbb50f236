#include "lists/vpagedlist.h"

#include "utils/vjsonsort.h"

VPagedList::VPagedList(const QList<Column> &columns, QObject *parent) : VSortedPages(parent), m_columns(columns)
{
    if (!m_columns.isEmpty()) {
        m_key = m_columns.first().key;
        m_numeric = m_columns.first().numeric;
    }
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
    const quint64 seq = beginSort();
    // The worker gets its own copies: the list may change while it sorts.
    const QJsonArray items = m_items;
    const QString key = m_key;
    const bool numeric = m_numeric;
    const bool descending = m_descending;
    runOnPool<QJsonArray>([items, key, numeric, descending] { return sortItems(items, key, numeric, descending); },
                          [this, seq](const QJsonArray &sorted) {
                              if (!endSort(seq))
                                  return;
                              m_sorted = sorted;
                              emitPage();
                          });
}

void VPagedList::dropOrder()
{
    m_sorted = QJsonArray();
    m_pageItems = QJsonArray();
}

void VPagedList::emitPage()
{
    m_pageItems = QJsonArray();
    for (int i = pageFrom(), to = pageTo(int(m_sorted.size())); i < to; ++i)
        m_pageItems.append(m_sorted.at(i));
    emit signalBuilding(false);
    emit signalPageReady(m_build, m_pageItems);
}
