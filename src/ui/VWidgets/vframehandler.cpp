#include "VWidgets/vframehandler.h"

#include <QAbstractButton>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

VFrameHandler::VFrameHandler(QWidget *window, QWidget *marginHost, int dragHeight)
    : QObject(window), m_window(window), m_marginHost(marginHost), m_dragHeight(dragHeight)
{
    window->setMouseTracking(true);
    window->installEventFilter(this);
}

void VFrameHandler::toggleMaximized()
{
    QLayout *layout = m_marginHost ? m_marginHost->layout() : nullptr;
    if (!m_maximized) {
        if (layout) {
            m_normalMargin = layout->contentsMargins().left();
            layout->setContentsMargins(0, 0, 0, 0);
        }
        m_maximized = true;
        m_normalGeometry = m_window->geometry();
        m_window->showMaximized();
        // without a window manager nobody else would resize the window
        if (QScreen *sc = m_window->screen())
            m_window->setGeometry(sc->availableGeometry());
    } else {
        if (layout)
            layout->setContentsMargins(m_normalMargin, m_normalMargin, m_normalMargin, m_normalMargin);
        m_maximized = false;
        m_window->showNormal();
        if (m_normalGeometry.isValid())
            m_window->setGeometry(m_normalGeometry);
    }
    if (m_grip)
        m_grip->setVisible(!m_maximized);
    emit signalMaximizedChanged(m_maximized);
}

void VFrameHandler::attachGrip(QAbstractButton *grip)
{
    m_grip = grip;
    grip->installEventFilter(this);
    connect(grip, &QAbstractButton::pressed, this, [this] {
        m_region = 33;
        m_resizing = true;
        m_lastGlobal = m_window->mapToGlobal(m_window->rect().bottomRight());
    });
}

int VFrameHandler::regionAt(const QPoint &pos) const
{
    const int row = pos.y() < m_border ? 10 : pos.y() > m_window->height() - m_border ? 30 : 20;
    const int col = pos.x() < m_border ? 1 : pos.x() > m_window->width() - m_border ? 3 : 2;
    return row + col;
}

void VFrameHandler::updateCursor(int region)
{
    switch (region) {
    case 11:
    case 33:
        m_window->setCursor(Qt::SizeFDiagCursor);
        break;
    case 13:
    case 31:
        m_window->setCursor(Qt::SizeBDiagCursor);
        break;
    case 12:
    case 32:
        m_window->setCursor(Qt::SizeVerCursor);
        break;
    case 21:
    case 23:
        m_window->setCursor(Qt::SizeHorCursor);
        break;
    default:
        m_window->setCursor(Qt::ArrowCursor);
    }
}

void VFrameHandler::resizeBy(const QPoint &globalPos)
{
    if (m_region == 22)
        return;
    const QPoint d = globalPos - m_lastGlobal;
    m_lastGlobal = globalPos;
    QRect g = m_window->geometry();
    const int row = m_region / 10;
    const int col = m_region % 10;
    const int minW = m_window->minimumWidth();
    const int minH = m_window->minimumHeight();
    // an edge moves while the window is above its minimum or the move enlarges it
    if (col == 1 && (g.width() > minW || d.x() < 0))
        g.setLeft(qMin(g.left() + d.x(), g.right() - minW + 1));
    if (col == 3 && (g.width() > minW || d.x() > 0))
        g.setRight(qMax(g.right() + d.x(), g.left() + minW - 1));
    if (row == 1 && (g.height() > minH || d.y() < 0))
        g.setTop(qMin(g.top() + d.y(), g.bottom() - minH + 1));
    if (row == 3 && (g.height() > minH || d.y() > 0))
        g.setBottom(qMax(g.bottom() + d.y(), g.top() + minH - 1));
    m_window->setGeometry(g);
}

bool VFrameHandler::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grip) {
        // the grip keeps the mouse while pressed: its moves resize the window
        if (event->type() == QEvent::MouseMove && m_resizing && !m_maximized)
            resizeBy(static_cast<QMouseEvent *>(event)->globalPos());
        else if (event->type() == QEvent::MouseButtonRelease)
            m_resizing = false;
        return false;
    }
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton && !m_maximized) {
            const QPoint p = e->pos();
            if (p.y() < m_dragHeight && p.y() > m_border && p.x() > m_border && p.x() < m_window->width() - m_border) {
                m_dragging = true;
                m_dragStartGlobal = e->globalPos();
                m_frameStartTopLeft = m_window->frameGeometry().topLeft();
            }
            m_region = regionAt(p);
            m_resizing = true;
            m_lastGlobal = e->globalPos();
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (m_maximized)
            return false;
        if (m_dragging && (e->buttons() & Qt::LeftButton)) {
            m_window->move(m_frameStartTopLeft + (e->globalPos() - m_dragStartGlobal));
            return true;
        }
        if (!m_resizing) {
            updateCursor(regionAt(e->pos()));
            return false;
        }
        updateCursor(m_region);
        resizeBy(e->globalPos());
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        m_resizing = false;
        m_window->setCursor(Qt::ArrowCursor);
        return false;
    case QEvent::MouseButtonDblClick: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton && e->pos().y() < m_dragHeight) {
            m_dragging = false;
            toggleMaximized();
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}
