#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "lists/vsortedpages.h"

// A list the server hands over whole (recycle bin, favourites, visits),
// sorted in the client and shown 100 rows at a time. Sorting runs on the
// global pool on a copy; every change (new items, sort, page) starts a new
// build with a larger id and only the newest build's page is handed out, so
// rows of a superseded build never reach a view. Changing the sort or the
// page never asks the server again.
class VPagedList : public VSortedPages
{
    Q_OBJECT
public:
    // A sortable grid column: its key and whether it compares as a number.
    struct Column
    {
        QString key;
        bool numeric = false;
    };

    // columns: the sort keys of the grid headers 1, 2, ... in order.
    explicit VPagedList(const QList<Column> &columns, QObject *parent = nullptr);

    // A new reply: page 1.
    void setItems(const QJsonArray &items);
    void clear() { setItems(QJsonArray()); }
    // Header number (from 1); false (and nothing changes) for a column that
    // does not sort.
    bool setSortColumn(int column, bool descending);
    // An empty key keeps the order the server sent.
    void setSort(const QString &key, bool numeric, bool descending);

    // The page on screen (empty while a sort runs).
    QJsonArray pageItems() const { return m_pageItems; }
    // The items as the server sent them.
    QJsonArray items() const { return m_items; }
    // The item with this "id" (or key), from the whole list.
    QJsonObject find(const QString &id, const QString &key = QStringLiteral("id")) const;

    static QJsonArray sortItems(const QJsonArray &items, const QString &key, bool numeric, bool descending);

signals:
    void signalPageReady(quint64 build, const QJsonArray &items);

protected:
    void emitPage() override;
    void dropOrder() override;

private:
    void startSort();

    QList<Column> m_columns;
    QJsonArray m_sorted;
    QJsonArray m_pageItems;
    bool m_numeric = false;
};
