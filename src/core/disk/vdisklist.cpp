#include "disk/vdisklist.h"

#include "utils/vjsonsort.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const char *const kColumns[] = {"filename", "updatetime", "filesize"};

VJsonSort::Key columnKey(const QString &key, bool descending)
{
    return VJsonSort::Key{key, key == QLatin1String("filesize"), descending};
}

// The ranks we have, completed by the given columns (read from the items
// in one pass).
VDiskList::RanksPtr withColumns(const QJsonArray &items, const VDiskList::RanksPtr &have, const QStringList &keys)
{
    auto out = std::make_shared<VDiskList::Ranks>(have ? *have : VDiskList::Ranks());
    QList<VJsonSort::Key> todo;
    if (!have)
        todo << VJsonSort::Key{QStringLiteral("isdir"), true, false};
    for (const QString &k : keys) {
        if (!out->columns.contains(k))
            todo << columnKey(k, false);
    }
    const QVector<QVector<int>> r = VJsonSort::ranks(items, todo);
    for (int i = 0; i < todo.size(); ++i) {
        if (i == 0 && !have)
            out->dirs = r.at(0);
        else
            out->columns.insert(todo.at(i).name, r.at(i));
    }
    return out;
}

// Folders first, then the column in the chosen direction, ties in the
// listing's order: the order VJsonSort gives, on integers only.
QVector<int> orderOf(const VDiskList::Ranks &r, const QString &key, bool descending)
{
    const QVector<int> &col = r.columns.value(key);
    const int n = col.size();
    int maxDir = 0, maxCol = 0;
    for (int i = 0; i < n; ++i) {
        maxDir = std::max(maxDir, r.dirs.at(i));
        maxCol = std::max(maxCol, col.at(i));
    }
    struct Entry
    {
        uint64_t key;
        uint32_t index;
    };
    std::vector<Entry> e(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const uint64_t dir = uint64_t(maxDir - r.dirs.at(i));
        const uint64_t c = uint64_t(descending ? maxCol - col.at(i) : col.at(i));
        e[size_t(i)] = Entry{(dir << 32) | c, uint32_t(i)};
    }
    std::sort(e.begin(), e.end(), [](const Entry &a, const Entry &b) {
        return a.key != b.key ? a.key < b.key : a.index < b.index;
    });
    QVector<int> order(n);
    for (int i = 0; i < n; ++i)
        order[i] = int(e[size_t(i)].index);
    return order;
}

VDiskList::Work sortWork(quint64 seq, quint64 generation, const QJsonArray &items, const VDiskList::RanksPtr &have,
                         const QString &key, bool descending)
{
    VDiskList::Work w;
    w.seq = seq;
    w.generation = generation;
    w.ranks = withColumns(items, have, {key});
    w.order = orderOf(*w.ranks, key, descending);
    return w;
}

VDiskList::Work keyWork(quint64 generation, const QJsonArray &items, const VDiskList::RanksPtr &have)
{
    VDiskList::Work w;
    w.generation = generation;
    QStringList all;
    for (const char *k : kColumns)
        all << QString::fromLatin1(k);
    w.ranks = withColumns(items, have, all);
    return w;
}

} // namespace

VDiskList::VDiskList(QObject *parent) : VSortedPages(parent)
{
    m_key = QStringLiteral("filename");
}

QJsonArray VDiskList::sortItems(const QJsonArray &items, const QString &key, bool descending)
{
    // Folders stay in front in both directions.
    VJsonSort::Key dirs{QStringLiteral("isdir"), true, true};
    return VJsonSort::sort(items, dirs, columnKey(key, descending));
}

QJsonArray VDiskList::sortedItems() const
{
    QJsonArray out;
    if (isSorting())
        return out;
    for (int i : m_order)
        out.append(m_items.at(i));
    return out;
}

bool VDiskList::hasKeys(const QString &key) const
{
    return m_ranks && m_ranks->columns.contains(key);
}

void VDiskList::setItems(const QJsonArray &items, bool resetPage)
{
    m_items = items;
    m_ranks.reset();
    ++m_generation;
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
    if (column < 1 || column > 3)
        return false;
    setSort(QString::fromLatin1(kColumns[column - 1]), descending);
    return true;
}

void VDiskList::take(const Work &r)
{
    takeRanks(r);
    if (r.seq == 0) {
        if (r.generation == m_preparing)
            m_preparing = 0;
        return;
    }
    if (!endSort(r.seq))
        return;
    m_order = r.order;
    emitPage();
}

void VDiskList::dropOrder()
{
    m_order.clear();
    m_pageItems.clear();
}

void VDiskList::startSort()
{
    const quint64 seq = beginSort();
    const quint64 generation = m_generation;
    const QJsonArray items = m_items;
    const RanksPtr ranks = m_ranks;
    const QString key = m_key;
    const bool descending = m_descending;
    runOnPool<Work>([seq, generation, items, ranks, key, descending] {
        return sortWork(seq, generation, items, ranks, key, descending);
    }, [this](const Work &r) { take(r); });
}

void VDiskList::prepareOtherKeys()
{
    // Once per listing, and only when a column is missing.
    if (m_preparing == m_generation || m_items.size() < 2)
        return;
    bool missing = false;
    for (const char *k : kColumns)
        missing = missing || !hasKeys(QString::fromLatin1(k));
    if (!missing)
        return;
    m_preparing = m_generation;
    const quint64 generation = m_generation;
    const QJsonArray items = m_items;
    const RanksPtr ranks = m_ranks;
    runOnPool<Work>([generation, items, ranks] { return keyWork(generation, items, ranks); },
                    [this](const Work &r) { take(r); });
}

void VDiskList::takeRanks(const Work &w)
{
    if (w.generation != m_generation || !w.ranks)
        return; // keys of an older listing
    if (!m_ranks) {
        m_ranks = w.ranks;
        return;
    }
    bool more = false;
    for (auto it = w.ranks->columns.constBegin(); it != w.ranks->columns.constEnd(); ++it)
        more = more || !m_ranks->columns.contains(it.key());
    if (!more)
        return;
    auto merged = std::make_shared<Ranks>(*m_ranks);
    for (auto it = w.ranks->columns.constBegin(); it != w.ranks->columns.constEnd(); ++it) {
        if (!merged->columns.contains(it.key()))
            merged->columns.insert(it.key(), it.value());
    }
    m_ranks = merged;
}

void VDiskList::emitPage()
{
    const int from = pageFrom();
    const int to = pageTo(int(m_order.size()));
    m_pageItems.clear();
    m_pageItems.reserve(qMax(0, to - from));
    for (int i = from; i < to; ++i)
        m_pageItems.append(M_fileinfo::fromDiskList(m_items.at(m_order.at(i)).toObject()));
    emit signalBuilding(false);
    emit signalPageReady(m_build, m_pageItems);
}
