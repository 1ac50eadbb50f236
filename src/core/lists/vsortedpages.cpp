#include "lists/vsortedpages.h"

VSortedPages::VSortedPages(QObject *parent) : QObject(parent) {}

VSortedPages::~VSortedPages()
{
    // The workers read their own copies only; no result is taken any more.
    for (QFutureWatcherBase *w : qAsConst(m_watchers)) {
        w->disconnect(this);
        w->waitForFinished();
    }
}

int VSortedPages::pageCount() const
{
    return qMax(1, (int(m_items.size()) + PageSize - 1) / PageSize);
}

void VSortedPages::setPage(int page)
{
    m_page = qBound(1, page, pageCount());
    ++m_build;
    if (!m_sorting)
        emitPage();
}

quint64 VSortedPages::beginSort()
{
    ++m_build;
    const quint64 seq = ++m_sortSeq;
    m_sorting = true;
    dropOrder();
    emit signalBuilding(true);
    return seq;
}

bool VSortedPages::endSort(quint64 seq)
{
    if (seq != m_sortSeq)
        return false; // a newer sort is on its way
    m_sorting = false;
    m_page = qBound(1, m_page, pageCount());
    return true;
}
