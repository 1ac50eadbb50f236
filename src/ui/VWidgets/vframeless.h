#pragma once

#include <QColor>

class QWidget;

// The frameless set-up shared by the login dialog, the main window and the
// dialogs: no system frame, translucent background, fixed at the current size,
// and a soft drop shadow around the content drawn inside a margin.
class VFrameless
{
public:
    // fixedSize false keeps the window resizable (the main window).
    static void setup(QWidget *window, bool fixedSize = true);
    // Shadow of colour #444444, blur 10, offset 0 on the content widget.
    static void addShadow(QWidget *content, const QColor &colour = QColor(0x44, 0x44, 0x44),
                          int blur = 10);
};
