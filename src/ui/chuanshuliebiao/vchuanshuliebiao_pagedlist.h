#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QWidget>

class QLabel;
class QScrollArea;
class QVBoxLayout;
class VGrid_page;

// A list that creates row widgets only for the page on screen (100 rows),
// whatever the number of entries: rows are made when their page is shown,
// kept while their entry stays on it and deleted when it leaves. Clicking
// a row selects it (Ctrl adds, Shift extends).
class VChuanshuliebiao_pagedlist : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 100;
    // Time given to making new rows per turn of the event loop when the list
    // changes (at least one row a turn).
    static constexpr int kTurnMs = 8;
    // Rebuilds after a change follow each other at this distance at least.
    static constexpr int kGatherMs = 100;

    explicit VChuanshuliebiao_pagedlist(QWidget *parent = nullptr);

    int pageCount() const;
    int currentPage() const { return m_page; }
    void setCurrentPage(int page);
    // Row widgets alive now (at most one page).
    int rowCount() const { return m_rows.size(); }
    QList<QWidget *> rows() const;
    QWidget *rowAt(int pageIndex) const;
    int selectedCount() const { return m_selected.size(); }
    QList<quintptr> selectedKeys() const { return m_selected.values(); }
    void clearSelection();
    void selectAllOnPage();
    // Builds the rows of the page now instead of at the next turn of the loop.
    void syncNow();
    VGrid_page *pager() const { return m_pager; }

signals:
    void signalSelectedCount(int count);

protected:
    virtual int itemCount() const = 0;
    virtual quintptr keyAt(int index) const = 0;
    virtual QWidget *createRow(int index) = 0;
    // Rows of the page are rebuilt once for any number of changes: at the
    // next turn of the event loop, or kGatherMs after the last rebuild when
    // gathering (entries that leave, finished ones that arrive). New
    // transfers are shown at the next turn.
    void scheduleSync(bool gather = true);
    // An entry left the list: its row stops counting at once and is taken
    // away, inert meanwhile, at the next rebuild.
    void dropKey(quintptr key);
    void setEmptyText(const QString &text);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Makes new rows for budgetMs at most (-1: all); false when the page is
    // not complete yet.
    bool sync(int budgetMs);
    void runSync(int delayMs);
    void setRowSelected(QWidget *row, bool on);
    void select(quintptr key, Qt::KeyboardModifiers mods);

    QScrollArea *m_scroll;
    QWidget *m_container;
    QVBoxLayout *m_layout;
    VGrid_page *m_pager;
    QWidget *m_empty;
    QLabel *m_emptyText;
    QHash<quintptr, QWidget *> m_rows;
    QHash<QWidget *, quintptr> m_keys;
    QList<quintptr> m_order;
    QSet<quintptr> m_selected;
    quintptr m_anchor = 0;
    int m_page = 1;
    bool m_syncPending = false;
    // Rows still to make once the list is shown.
    bool m_stale = false;
    QElapsedTimer m_lastSync;
    // Rows whose entries left, taken away at the next rebuild.
    QList<QWidget *> m_gone;
};
