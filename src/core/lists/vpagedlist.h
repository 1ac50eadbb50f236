#pragma once

#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

// A list the server hands over whole (recycle bin, favourites, visits),
// sorted in the client and shown 100 rows at a time. Sorting runs on the
// global pool on a copy; every change (new items, sort, page) starts a new
// build with a larger id and only the newest build's page is handed out, so
// rows of a superseded build never reach a view. Changing the sort or the
// page never asks the server again.
class VPagedList : public QObject
{
    Q_OBJECT
public:
    static constexpr int PageSize = 100;

    // A sortable grid column: its key and whether it compares as a number.
    struct Column
    {
        QString key;
        bool numeric = false;
    };

    // columns: the sort keys of the grid headers 1, 2, ... in order.
    explicit VPagedList(const QList<Column> &columns, QObject *parent = nullptr);
    // Waits for sorts still running on the pool.
    ~VPagedList() override;

    // A new reply: page 1.
    void setItems(const QJsonArray &items);
    void clear() { setItems(QJsonArray()); }
    // Header number (from 1); false (and nothing changes) for a column that
    // does not sort.
    bool setSortColumn(int column, bool descending);
    // An empty key keeps the order the server sent.
    void setSort(const QString &key, bool numeric, bool descending);
    void setPage(int page);

    int page() const { return m_page; }
    int pageCount() const;
    int total() const { return m_items.size(); }
    QString sortKey() const { return m_key; }
    bool isDescending() const { return m_descending; }
    bool isSorting() const { return m_sorting; }
    quint64 buildId() const { return m_build; }
    // The page on screen (empty while a sort runs).
    QJsonArray pageItems() const { return m_pageItems; }
    // The items as the server sent them.
    QJsonArray items() const { return m_items; }
    // The item with this "id" (or key), from the whole list.
    QJsonObject find(const QString &id, const QString &key = QStringLiteral("id")) const;

    static QJsonArray sortItems(const QJsonArray &items, const QString &key, bool numeric, bool descending);

signals:
    void signalPageReady(quint64 build, const QJsonArray &items);
    // A sort started (true) or its page arrived (false).
    void signalBuilding(bool on);

private:
    void startSort();
    void emitPage();

    QList<Column> m_columns;
    QJsonArray m_items;
    QJsonArray m_sorted;
    QJsonArray m_pageItems;
    QString m_key;
    bool m_numeric = false;
    bool m_descending = false;
    int m_page = 1;
    quint64 m_build = 0;
    quint64 m_sortSeq = 0;
    bool m_sorting = false;
    QList<QFutureWatcher<QJsonArray> *> m_watchers;
};
