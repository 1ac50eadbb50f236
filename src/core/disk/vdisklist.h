#pragma once

#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

#include "lists/vsortedpages.h"
#include "records/m_fileinfo.h"

// The listing behind the disk views: the reply's items, sorted on a worker
// of the global pool (folders first, then the chosen column), cut into pages
// of 100. Every change (new items, sort, page) starts a new build with a
// larger build id; a page is handed out only for the newest build, so the
// rows of a superseded build never reach a view.
//
// The sort keys of a listing are read out of the JSON once: per column a
// rank for every item (equal keys share one). A re-sort then orders plain
// integers. The columns not asked for yet are read on the pool once the
// first page is on screen (prepareOtherKeys), so the first click on another
// header does not wait for them either.
class VDiskList : public VSortedPages
{
    Q_OBJECT
public:
    explicit VDiskList(QObject *parent = nullptr);

    // A new listing. resetPage: page 1 (a new folder or search); otherwise
    // the current page, clamped to the new page count (a reload).
    void setItems(const QJsonArray &items, bool resetPage);
    void clear();
    // The sort column: "filename" and "updatetime" as text in the locale's
    // order, "filesize" as a number.
    void setSort(const QString &key, bool descending);
    // Grid header numbers (from 1): 1 name, 2 time, 3 size; others ignored.
    // Returns false when the column does not sort.
    bool setSortColumn(int column, bool descending);
    // Reads the keys of the columns not sorted by yet, on the pool (once per
    // listing); a view calls it once its page is on screen, so the work does
    // not compete with building that page.
    void prepareOtherKeys();

    // The current page, parsed (empty while a sort is running).
    QList<M_fileinfo> pageItems() const { return m_pageItems; }
    // All items in their current order (empty while a sort is running).
    QJsonArray sortedItems() const;
    // Whether the keys of a column are read already (for the current items).
    bool hasKeys(const QString &key) const;

    // The order of the list as one call (the reference the ranks must match).
    static QJsonArray sortItems(const QJsonArray &items, const QString &key, bool descending);

signals:
    // The page of the newest build is ready.
    void signalPageReady(quint64 build, const QList<M_fileinfo> &items);

public:
    // Ranks per column of one listing; immutable once shared.
    struct Ranks
    {
        QVector<int> dirs;
        QHash<QString, QVector<int>> columns;
    };
    using RanksPtr = std::shared_ptr<const Ranks>;
    struct Work
    {
        quint64 seq = 0; // the sort it answers; 0 for key preparation
        quint64 generation = 0;
        RanksPtr ranks;
        QVector<int> order;
    };

protected:
    void emitPage() override;
    void dropOrder() override;

private:
    void startSort();
    void takeRanks(const Work &w);
    // Hands a result of the pool to the list.
    void take(const Work &w);

    QVector<int> m_order; // indexes into m_items, in the shown order
    RanksPtr m_ranks;
    quint64 m_generation = 0; // counts listings (setItems)
    quint64 m_preparing = 0;  // generation whose keys are being prepared
    QList<M_fileinfo> m_pageItems;
};
