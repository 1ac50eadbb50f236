#include "gonggongwangpan/vgonggongwangpan_dragout.h"

#include "disk/vpermission.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

namespace {
VGonggongwangpan_dragout::DragLoop &dragLoop()
{
    static VGonggongwangpan_dragout::DragLoop loop;
    return loop;
}
} // namespace

void VGonggongwangpan_dragout::setDragLoop(const DragLoop &loop)
{
    dragLoop() = loop;
}

VGonggongwangpan_dragout::Landing VGonggongwangpan_dragout::run(QWidget *source, const QList<M_fileinfo> &items)
{
    Landing out;
    QList<M_fileinfo> allowed;
    for (const M_fileinfo &i : items) {
        if (VPermission::itemAllows(i, VPermission::Download))
            allowed << i;
    }
    if (allowed.isEmpty())
        return out;
    const QString marker = VUtils::createDropMarker();
    if (marker.isEmpty())
        return out;
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(marker)});
    // The program's own lists refuse this drag.
    mime->setProperty("isTemp", 1);
    auto *drag = new QDrag(source);
    drag->setMimeData(mime);
    drag->setPixmap(QPixmap(QStringLiteral(":/images/max/folder.png")).scaled(32, 32));
    const Qt::DropAction action =
        dragLoop() ? dragLoop()(drag) : drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    if (dragLoop())
        drag->deleteLater();
    if (action != Qt::IgnoreAction) {
        // Only an accepted drag has landed somewhere worth looking for.
        const QString folder = VUtils::findDropFolder(marker);
        if (folder.size() > 2) {
            out.folder = folder;
            out.items = allowed;
        } else {
            emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("未找到拖放的目标文件夹，请使用下载按钮"), false);
        }
    }
    QFile::remove(marker);
    return out;
}

bool VGonggongwangpan_dragout::Gesture::starts(QListWidget *list, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        m_pressed = e->button() == Qt::LeftButton;
        m_pressPos = e->pos();
        return false;
    }
    case QEvent::MouseButtonRelease:
        m_pressed = false;
        return false;
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (!m_pressed || !(e->buttons() & Qt::LeftButton)
            || (e->pos() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
            return false;
        m_pressed = false;
        QListWidgetItem *it = list->itemAt(m_pressPos);
        return it && it->isSelected();
    }
    default:
        return false;
    }
}
