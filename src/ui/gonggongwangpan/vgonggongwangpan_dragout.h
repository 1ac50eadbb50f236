#pragma once

#include <QList>
#include <QPoint>
#include <QString>

#include <functional>

#include "records/m_fileinfo.h"

class QDrag;
class QEvent;
class QListWidget;
class QWidget;

// Dragging items of the disk views out of the program. The drag carries a
// marker file (so the program's own lists refuse it) and, once a file
// manager accepted it, the folder the marker landed in is where the items
// are downloaded. Items without the download right stay behind.
namespace VGonggongwangpan_dragout {
struct Landing
{
    QString folder;            // empty: nothing to download
    QList<M_fileinfo> items;   // what may be downloaded there
};
// Runs the drag (Qt's drag loop) from source; says so through the hub when
// the drop was accepted but its folder is not found. The marker is removed
// on every way out.
Landing run(QWidget *source, const QList<M_fileinfo> &items);
// What runs a prepared drag: QDrag::exec unless set. Tests put a stand-in
// for the desktop's drag loop here (the offscreen platform has none); an
// empty function restores QDrag::exec.
using DragLoop = std::function<Qt::DropAction(QDrag *)>;
void setDragLoop(const DragLoop &loop);

// Tells a drag out from the presses and moves on a list's viewport: the
// left button pressed on a selected item and moved far enough.
class Gesture
{
public:
    // True when the event starts a drag (the press is then used up).
    bool starts(QListWidget *list, QEvent *event);

private:
    QPoint m_pressPos;
    bool m_pressed = false;
};
} // namespace VGonggongwangpan_dragout
