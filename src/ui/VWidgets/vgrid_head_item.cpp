#include "VWidgets/vgrid_head_item.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

VGrid_head_item::VGrid_head_item(int index, const QString &title, bool sortable, QWidget *parent)
    : QWidget(parent), m_index(index), m_sortable(sortable)
{
    // A sortable header is clicked: it reads as its title.
    setAccessibleName(title.trimmed());
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_item = new QWidget(this);
    m_item->setObjectName(QStringLiteral("widget_item"));
    m_item->setStyleSheet(QStringLiteral("#widget_item{border-right:1px solid #E5E5E5;}"));
    outer->addWidget(m_item);
    auto *lay = new QHBoxLayout(m_item);
    lay->setContentsMargins(10, 0, 6, 0);
    lay->setSpacing(4);
    m_title = new QLabel(title, m_item);
    m_mark = new QLabel(m_item);
    m_mark->setFixedSize(12, 12);
    lay->addWidget(m_title);
    lay->addWidget(m_mark);
    lay->addStretch(1);
    if (sortable)
        setCursor(Qt::PointingHandCursor);
    refreshMark();
}

QString VGrid_head_item::title() const
{
    return m_title->text();
}

void VGrid_head_item::setOrdertype(int type)
{
    m_ordertype = type ? 1 : 0;
    refreshMark();
}

void VGrid_head_item::setActive(bool active)
{
    m_active = active;
    refreshMark();
}

void VGrid_head_item::refreshMark()
{
    if (!m_sortable) {
        m_mark->clear();
        return;
    }
    const QString img = !m_active ? QStringLiteral(":/images/icon/sort_none.png")
                        : m_ordertype ? QStringLiteral(":/images/icon/sort_desc.png")
                                      : QStringLiteral(":/images/icon/sort_asc.png");
    m_mark->setPixmap(QPixmap(img));
}

void VGrid_head_item::slotClick(VGrid_head_item *item)
{
    // Another header took over the sort: this one drops its mark.
    if (item != this)
        setActive(false);
}

void VGrid_head_item::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_sortable && rect().contains(event->pos())) {
        if (m_active)
            m_ordertype = 1 - m_ordertype;
        m_active = true;
        refreshMark();
        emit signalClick(this);
    }
    QWidget::mouseReleaseEvent(event);
}

void VGrid_head_item::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit signalResize(m_index, width());
}
