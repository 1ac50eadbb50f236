#include "chuanshuliebiao/vchuanshuliebiao_pagedlist.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "VWidgets/vgrid_page.h"
#include "chuanshuliebiao/vchuanshuliebiao_item.h"

VChuanshuliebiao_pagedlist::VChuanshuliebiao_pagedlist(QWidget *parent) : QWidget(parent)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea_rows"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_container = new QWidget;
    m_container->setObjectName(QStringLiteral("widget_rows"));
    m_container->setStyleSheet(QStringLiteral("QWidget#widget_rows{background:#FFFFFF;}")
                               + VChuanshuliebiao_item::rowStyleSheet());
    m_layout = new QVBoxLayout(m_container);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    m_scroll->setWidget(m_container);
    outer->addWidget(m_scroll, 1);

    m_empty = new QWidget(this);
    auto *el = new QVBoxLayout(m_empty);
    el->addStretch(1);
    auto *icon = new QLabel(m_empty);
    icon->setPixmap(QPixmap(QStringLiteral(":/images/transfer/empty.png")));
    icon->setAlignment(Qt::AlignCenter);
    el->addWidget(icon);
    m_emptyText = new QLabel(m_empty);
    m_emptyText->setAlignment(Qt::AlignCenter);
    m_emptyText->setStyleSheet(QStringLiteral("color:#909399;font-size:13px;"));
    el->addWidget(m_emptyText);
    el->addStretch(2);
    outer->addWidget(m_empty, 1);
    m_empty->hide();

    m_pager = new VGrid_page(this);
    outer->addWidget(m_pager);
    m_pager->hide();
    connect(m_pager, &VGrid_page::currentPageChanged, this, &VChuanshuliebiao_pagedlist::setCurrentPage);
}

int VChuanshuliebiao_pagedlist::pageCount() const
{
    const int n = itemCount();
    return qMax(1, (n + kPageSize - 1) / kPageSize);
}

void VChuanshuliebiao_pagedlist::setCurrentPage(int page)
{
    page = qBound(1, page, pageCount());
    if (page == m_page)
        return;
    m_page = page;
    syncNow();
    m_scroll->verticalScrollBar()->setValue(0);
}

void VChuanshuliebiao_pagedlist::setEmptyText(const QString &text) { m_emptyText->setText(text); }

QList<QWidget *> VChuanshuliebiao_pagedlist::rows() const
{
    QList<QWidget *> out;
    for (quintptr k : m_order)
        if (QWidget *w = m_rows.value(k))
            out << w;
    return out;
}

QWidget *VChuanshuliebiao_pagedlist::rowAt(int pageIndex) const
{
    return m_rows.value(m_order.value(pageIndex));
}

void VChuanshuliebiao_pagedlist::scheduleSync(bool gather)
{
    if (!gather) {
        runSync(0);
        return;
    }
    if (m_syncPending)
        return;
    // Changes that come fast (small transfers ending many a second) are
    // gathered: the rows move and repaint once for all of them.
    const qint64 since = m_lastSync.isValid() ? m_lastSync.elapsed() : kGatherMs;
    runSync(int(qMax<qint64>(0, kGatherMs - since)));
}

void VChuanshuliebiao_pagedlist::runSync(int delayMs)
{
    m_syncPending = true;
    QTimer::singleShot(delayMs, this, [this] {
        if (!m_syncPending)
            return; // done meanwhile by syncNow()
        m_syncPending = false;
        // A hundred new rows take tens of milliseconds: made a few a turn,
        // the first appear at once and the window keeps answering.
        const bool complete = sync(kTurnMs);
        if (!complete)
            runSync(0);
    });
}

void VChuanshuliebiao_pagedlist::dropKey(quintptr key)
{
    // The row stays in place, inert (its task is gone or going), until the
    // next rebuild takes it away with the others that left meanwhile.
    if (QWidget *w = m_rows.take(key)) {
        m_keys.remove(w);
        w->setEnabled(false);
        m_gone << w;
    }
    m_order.removeAll(key);
    if (m_selected.remove(key))
        emit signalSelectedCount(m_selected.size());
    scheduleSync();
}

void VChuanshuliebiao_pagedlist::syncNow()
{
    m_syncPending = false;
    sync(-1);
}

bool VChuanshuliebiao_pagedlist::sync(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    m_lastSync.start();
    // A list nobody sees (another tab, another page of the window) only lets
    // go of rows; it makes its new ones when it is shown.
    const bool make = budgetMs < 0 || isVisible();
    m_stale = !make;
    for (QWidget *w : qAsConst(m_gone)) {
        m_layout->removeWidget(w);
        w->hide();
        w->deleteLater();
    }
    m_gone.clear();
    const int total = itemCount();
    const int pages = pageCount();
    m_page = qBound(1, m_page, pages);
    m_pager->setPageCount(pages);
    m_pager->setCurrentPage(m_page);
    m_pager->setVisible(pages > 1);
    m_empty->setVisible(total == 0);
    m_scroll->setVisible(total > 0);

    const int first = (m_page - 1) * kPageSize;
    const int last = qMin(total, first + kPageSize);
    QHash<quintptr, QWidget *> keep;
    QList<quintptr> order;
    order.reserve(last - first);
    bool complete = true;
    for (int i = first; i < last; ++i) {
        const quintptr key = keyAt(i);
        QWidget *w = m_rows.take(key);
        if (!w) {
            if (!make)
                continue;
            if (budgetMs >= 0 && clock.elapsed() >= budgetMs) {
                // Made at a later turn, in its place among the rows kept.
                complete = false;
                continue;
            }
            w = createRow(i);
            w->installEventFilter(this);
            m_keys.insert(w, key);
            setRowSelected(w, m_selected.contains(key));
            // Shown here, inside the turn's budget: polishing a row costs
            // more than making it.
            m_layout->insertWidget(order.size(), w);
            w->show();
        }
        keep.insert(key, w);
        order << key;
    }
    // Rows whose entries left the page.
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
        m_keys.remove(it.value());
        m_layout->removeWidget(it.value());
        it.value()->hide();
        it.value()->deleteLater();
    }
    m_rows = keep;
    if (order != m_order) {
        for (int i = 0; i < order.size(); ++i) {
            QWidget *w = m_rows.value(order.at(i));
            if (m_layout->indexOf(w) != i) {
                m_layout->removeWidget(w);
                m_layout->insertWidget(i, w);
            }
            w->show();
        }
        m_order = order;
    }
    return complete;
}

void VChuanshuliebiao_pagedlist::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        scheduleSync(false);
}

void VChuanshuliebiao_pagedlist::setRowSelected(QWidget *row, bool on)
{
    if (row->property("selected").toBool() == on && row->property("selected").isValid())
        return;
    row->setProperty("selected", on);
    row->style()->unpolish(row);
    row->style()->polish(row);
    row->update();
}

void VChuanshuliebiao_pagedlist::clearSelection()
{
    for (quintptr k : qAsConst(m_selected))
        if (QWidget *w = m_rows.value(k))
            setRowSelected(w, false);
    m_selected.clear();
    emit signalSelectedCount(0);
}

void VChuanshuliebiao_pagedlist::selectAllOnPage()
{
    for (quintptr k : qAsConst(m_order)) {
        m_selected.insert(k);
        setRowSelected(m_rows.value(k), true);
    }
    emit signalSelectedCount(m_selected.size());
}

void VChuanshuliebiao_pagedlist::select(quintptr key, Qt::KeyboardModifiers mods)
{
    if (mods & Qt::ControlModifier) {
        if (!m_selected.remove(key))
            m_selected.insert(key);
        m_anchor = key;
    } else if ((mods & Qt::ShiftModifier) && m_order.contains(m_anchor)) {
        const int a = m_order.indexOf(m_anchor);
        const int b = m_order.indexOf(key);
        m_selected.clear();
        for (int i = qMin(a, b); i <= qMax(a, b); ++i)
            m_selected.insert(m_order.at(i));
    } else {
        m_selected.clear();
        m_selected.insert(key);
        m_anchor = key;
    }
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        setRowSelected(it.value(), m_selected.contains(it.key()));
    emit signalSelectedCount(m_selected.size());
}

bool VChuanshuliebiao_pagedlist::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && m_keys.contains(w)) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton)
                select(m_keys.value(w), me->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}
