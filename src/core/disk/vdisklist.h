#pragma once

#include <QFutureWatcher>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>

#include "records/m_fileinfo.h"

// The listing behind the disk views: the reply's items, sorted on a worker
// of the global pool (folders first, then the chosen column), cut into pages
// of 100. Every change (new items, sort, page) starts a new build with a
// larger build id; a page is handed out only for the newest build, so the
// rows of a superseded build never reach a view.
class VDiskList : public QObject
{
    Q_OBJECT
public:
    static constexpr int PageSize = 100;

    explicit VDiskList(QObject *parent = nullptr);
    // Waits for sorts still running on the pool.
    ~VDiskList() override;

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
    void setPage(int page);

    int page() const { return m_page; }
    int pageCount() const;
    int total() const { return m_items.size(); }
    QString sortKey() const { return m_key; }
    bool isDescending() const { return m_descending; }
    bool isSorting() const { return m_sorting; }
    quint64 buildId() const { return m_build; }
    // The current page, parsed (empty while a sort is running).
    QList<M_fileinfo> pageItems() const { return m_pageItems; }
    // All items in their current order (empty while a sort is running).
    QJsonArray sortedItems() const { return m_sorted; }

    static QJsonArray sortItems(const QJsonArray &items, const QString &key, bool descending);

signals:
    // The page of the newest build is ready.
    void signalPageReady(quint64 build, const QList<M_fileinfo> &items);
    // A sort started (true) or the page arrived (false).
    void signalBuilding(bool on);

private:
    void startSort();
    void emitPage();

    QJsonArray m_items;
    QJsonArray m_sorted;
    QList<M_fileinfo> m_pageItems;
    QString m_key = QStringLiteral("filename");
    bool m_descending = false;
    int m_page = 1;
    quint64 m_build = 0;
    quint64 m_sortSeq = 0;
    bool m_sorting = false;
    QList<QFutureWatcher<QJsonArray> *> m_watchers;
};
