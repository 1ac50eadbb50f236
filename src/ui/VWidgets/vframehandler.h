#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QAbstractButton;
class QWidget;

// Move and resize handling of a frameless window: the top strip drags the
// window, a border of a few pixels resizes it (regions 11 ... 33: row 1-3
// times ten plus column 1-3, 22 is the body), a double click on the strip
// toggles maximised. Installed as an event filter on the window, so the
// window keeps its own mouse handlers free; an optional grip button resizes
// from the bottom-right corner.
class VFrameHandler : public QObject
{
    Q_OBJECT
public:
    // marginHost: the widget whose layout margin (the shadow) goes while maximised.
    VFrameHandler(QWidget *window, QWidget *marginHost, int dragHeight);

    bool isMaximized() const { return m_maximized; }
    void toggleMaximized();
    // True while a border resize is going on (the cursor shows it).
    bool isResizing() const { return m_resizing; }
    void attachGrip(QAbstractButton *grip);

    int regionAt(const QPoint &pos) const;
    int borderWidth() const { return m_border; }

signals:
    void signalMaximizedChanged(bool maximized);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateCursor(int region);
    void resizeBy(const QPoint &globalPos);

    QWidget *m_window;
    QWidget *m_marginHost;
    QAbstractButton *m_grip = nullptr;
    int m_dragHeight;
    int m_border = 5;
    bool m_maximized = false;
    bool m_dragging = false;
    bool m_resizing = false;
    int m_region = 22;
    QPoint m_dragStartGlobal;
    QPoint m_frameStartTopLeft;
    QPoint m_lastGlobal;
    int m_normalMargin = 5;
    QRect m_normalGeometry;
};
