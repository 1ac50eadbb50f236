#include "VWidgets/vtoolbutton.h"

VToolButton::VToolButton(QWidget *parent) : QToolButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void VToolButton::setIcons(const QIcon &normal, const QIcon &hover)
{
    m_normal = normal;
    m_hoverIcon = hover;
    m_hover = !hover.isNull();
    setIcon(normal);
}

void VToolButton::enterEvent(QEvent *event)
{
    if (m_hover)
        setIcon(m_hoverIcon);
    QToolButton::enterEvent(event);
}

void VToolButton::leaveEvent(QEvent *event)
{
    if (m_hover)
        setIcon(m_normal);
    QToolButton::leaveEvent(event);
}
