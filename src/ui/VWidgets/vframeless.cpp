#include "VWidgets/vframeless.h"

#include <QGraphicsDropShadowEffect>
#include <QWidget>

void VFrameless::setup(QWidget *window, bool fixedSize)
{
    window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    window->setAttribute(Qt::WA_TranslucentBackground);
    if (fixedSize)
        window->setFixedSize(window->size());
}

void VFrameless::addShadow(QWidget *content, const QColor &colour, int blur)
{
    auto *shadow = new QGraphicsDropShadowEffect(content);
    shadow->setOffset(0, 0);
    shadow->setColor(colour);
    shadow->setBlurRadius(blur);
    content->setGraphicsEffect(shadow);
}
