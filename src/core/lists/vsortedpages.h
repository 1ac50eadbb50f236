#pragma once

#include <QFutureWatcher>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>

// What the lists sorted on the global pool and shown 100 rows at a time
// share: the items as they came, the sort asked for, the page and the build
// ids. Every change (new items, sort, page) starts a new build with a larger
// id, and only the newest sort's result is taken, so the rows of a
// superseded build never reach a view. A list sorts in startSort() (between
// beginSort() and endSort()) and hands out its page in emitPage().
class VSortedPages : public QObject
{
    Q_OBJECT
public:
    static constexpr int PageSize = 100;

    // Waits for the work still running on the pool.
    ~VSortedPages() override;

    void setPage(int page);
    int page() const { return m_page; }
    int pageCount() const;
    int total() const { return m_items.size(); }
    QString sortKey() const { return m_key; }
    bool isDescending() const { return m_descending; }
    bool isSorting() const { return m_sorting; }
    quint64 buildId() const { return m_build; }

signals:
    // A sort started (true) or its page arrived (false).
    void signalBuilding(bool on);

protected:
    explicit VSortedPages(QObject *parent = nullptr);

    // Hands out the page of the current build.
    virtual void emitPage() = 0;
    // Forgets the order and page of the build a new sort replaces.
    virtual void dropOrder() = 0;

    // A new build whose page waits for a sort; answers the sort's number.
    quint64 beginSort();
    // The sort with this number is done: false when a newer one is on its
    // way (its result is dropped); otherwise the page is clamped to the
    // page count and the caller takes the result and calls emitPage().
    bool endSort(quint64 seq);
    // The first and one past the last index of the page, in a list of count.
    int pageFrom() const { return (m_page - 1) * PageSize; }
    int pageTo(int count) const { return qMin(count, pageFrom() + PageSize); }

    // Runs work on the global pool (it must own what it reads: the list may
    // change meanwhile); done gets its result on this list's thread.
    template <typename T, typename Work>
    void runOnPool(Work work, std::function<void(const T &)> done)
    {
        auto *w = new QFutureWatcher<T>(this);
        m_watchers << w;
        connect(w, &QFutureWatcherBase::finished, this, [this, w, done] {
            m_watchers.removeOne(w);
            w->deleteLater();
            done(w->result());
        });
        w->setFuture(QtConcurrent::run(std::move(work)));
    }

    QJsonArray m_items;
    QString m_key;
    bool m_descending = false;
    int m_page = 1;
    quint64 m_build = 0;

private:
    quint64 m_sortSeq = 0;
    bool m_sorting = false;
    QList<QFutureWatcherBase *> m_watchers;
};
