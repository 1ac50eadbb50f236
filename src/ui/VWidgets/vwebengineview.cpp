#include "VWidgets/vwebengineview.h"

VWebEngineView::VWebEngineView(QWidget *parent) : QWebEngineView(parent)
{
    setAccessibleName(QStringLiteral("预览内容"));
}

void VWebEngineView::enterEvent(QEvent *event)
{
    emit signalEnter();
    QWebEngineView::enterEvent(event);
}

void VWebEngineView::leaveEvent(QEvent *event)
{
    emit signalLeave();
    QWebEngineView::leaveEvent(event);
}

// The page handles the mouse itself; the frame's own handling stays out.
void VWebEngineView::mouseMoveEvent(QMouseEvent *) {}
