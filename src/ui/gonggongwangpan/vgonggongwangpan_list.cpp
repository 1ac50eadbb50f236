#include "gonggongwangpan/vgonggongwangpan_list.h"

#include "gonggongwangpan/vgonggongwangpan_dragout.h"
#include "gonggongwangpan/vgonggongwangpan_list_item.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"

#include "disk/vpermission.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QApplication>
#include <QCheckBox>
#include <QToolButton>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

int &VGonggongwangpan_list::chunkSize()
{
    static int n = 10;
    return n;
}

VGonggongwangpan_list::VGonggongwangpan_list(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan_list"));
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    m_grid = new VGrid(this);
    lay->addWidget(m_grid);
    VGrid_head_item *name = m_grid->addColumn(QStringLiteral("文件名"), true, 100, 0);
    m_grid->addColumn(QStringLiteral("更新时间"), true, 140, 140);
    m_grid->addColumn(QStringLiteral("大小"), true, 100, 100);
    m_grid->addColumn(QStringLiteral(" 更新者"), false, 100, 150, true);
    name->setActive(true);
    m_grid->allCheckBox()->setAccessibleName(QStringLiteral("全选"));

    QListWidget *list = m_grid->listWidget();
    list->setAccessibleName(QStringLiteral("文件列表"));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->setDragEnabled(false);
    list->setUniformItemSizes(true);
    list->viewport()->installEventFilter(this);
    list->setMouseTracking(true);

    connect(m_grid, &VGrid::signalSortParams, this, &VGonggongwangpan_list::signalSortParams);
    connect(m_grid, &VGrid::signalSelectedItems, this, [this] {
        syncChecks();
        emit signalCount(selection());
    });
    connect(m_grid, &VGrid::signalItemClick, this, [this](QListWidgetItem *item) {
        if (auto *r = qobject_cast<VGonggongwangpan_list_item *>(listWidget()->itemWidget(item)))
            emit signalClick(r->info());
    });
    connect(m_grid, &VGrid::signalItemDoubleClick, this, [this](QListWidgetItem *item) {
        if (auto *r = qobject_cast<VGonggongwangpan_list_item *>(listWidget()->itemWidget(item)))
            emit signalDoubleClick(r->info());
    });
    connect(list, &QListWidget::customContextMenuRequested, this, [this, list](const QPoint &pos) {
        QListWidgetItem *item = list->itemAt(pos);
        if (!item)
            return;
        if (!item->isSelected()) {
            list->clearSelection();
            item->setSelected(true);
        }
        list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        emit signalContextMenu(list->viewport()->mapToGlobal(pos));
    });
}

QListWidget *VGonggongwangpan_list::listWidget() const
{
    return m_grid->listWidget();
}

int VGonggongwangpan_list::rowCount() const
{
    return listWidget()->count();
}

VGonggongwangpan_list_item *VGonggongwangpan_list::row(int index) const
{
    QListWidgetItem *it = listWidget()->item(index);
    return it ? qobject_cast<VGonggongwangpan_list_item *>(listWidget()->itemWidget(it)) : nullptr;
}

void VGonggongwangpan_list::setLoading(bool on)
{
    m_grid->setLoading(on);
}

void VGonggongwangpan_list::setPage(quint64 build, const QList<M_fileinfo> &items)
{
    m_build = build;
    m_pending = items;
    m_next = 0;
    QListWidget *list = listWidget();
    {
        const QSignalBlocker b(list);
        list->clearSelection();
        // Rows are kept from page to page; only those past the new page go.
        while (list->count() > items.size()) {
            QListWidgetItem *it = list->item(list->count() - 1);
            list->removeItemWidget(it);
            delete list->takeItem(list->count() - 1);
        }
    }
    if (m_grid->allCheckBox()->isChecked()) {
        const QSignalBlocker b(m_grid->allCheckBox());
        m_grid->allCheckBox()->setChecked(false);
    }
    emit signalCount(QList<M_fileinfo>());
    m_building = true;
    if (items.isEmpty()) {
        m_building = false;
        m_grid->refreshEmpty();
        emit signalFinishCreate(build);
        return;
    }
    createChunk(build);
}

void VGonggongwangpan_list::createChunk(quint64 build)
{
    if (build != m_build)
        return; // a newer page took over
    QListWidget *list = listWidget();
    const QList<int> widths = m_grid->columnWidths();
    // A turn of the event loop fills rows for a few milliseconds at most
    // (at least one row), so input and painting keep going on a busy machine.
    QElapsedTimer turn;
    turn.start();
    const int start = m_next;
    int created = 0;
    for (; m_next < m_pending.size(); ++m_next) {
        if (m_next > start && (created >= qMax(1, chunkSize()) || turn.nsecsElapsed() > 8000000))
            break;
        const M_fileinfo &info = m_pending.at(m_next);
        if (m_next < list->count()) {
            QListWidgetItem *item = list->item(m_next);
            item->setData(Qt::AccessibleTextRole, info.filename);
            item->setData(Qt::AccessibleDescriptionRole,
                          info.isdir ? QStringLiteral("文件夹") : QStringLiteral("文件"));
            if (auto *row = qobject_cast<VGonggongwangpan_list_item *>(list->itemWidget(item)))
                row->setInfo(info);
            continue;
        }
        ++created;
        auto *item = new QListWidgetItem;
        item->setData(Qt::AccessibleTextRole, info.filename);
        item->setData(Qt::AccessibleDescriptionRole,
                      info.isdir ? QStringLiteral("文件夹") : QStringLiteral("文件"));
        item->setSizeHint(QSize(100, 40));
        list->addItem(item);
        auto *row = new VGonggongwangpan_list_item(info, item, list);
        list->setItemWidget(item, row);
        row->slotResize(widths);
        connect(m_grid, qOverload<QList<int>>(&VGrid::signalResize), row, &VGonggongwangpan_list_item::slotResize);
        connect(row, &VGonggongwangpan_list_item::signalRename, this, &VGonggongwangpan_list::signalRename);
        connect(row, &VGonggongwangpan_list_item::signalDownload, this, &VGonggongwangpan_list::signalDownloadItem);
        connect(row, &VGonggongwangpan_list_item::signalChecked, this, [](QListWidgetItem *it, bool on) {
            it->setSelected(on);
        });
        connect(row, &VGonggongwangpan_list_item::signalMore, this, [this, list](VGonggongwangpan_list_item *r) {
            list->clearSelection();
            r->listItem()->setSelected(true);
            list->setCurrentItem(r->listItem(), QItemSelectionModel::NoUpdate);
            r->setMenuOpen(true);
            emit signalContextMenu(r->moreButton()->mapToGlobal(QPoint(0, r->moreButton()->height())));
        });
    }
    m_grid->refreshEmpty();
    if (m_next < m_pending.size()) {
        QTimer::singleShot(0, this, [this, build] { createChunk(build); });
        return;
    }
    m_building = false;
    m_pending.clear();
    emit signalFinishCreate(build);
}

QList<M_fileinfo> VGonggongwangpan_list::selection() const
{
    QList<M_fileinfo> out;
    QListWidget *list = listWidget();
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *it = list->item(i);
        if (!it->isSelected())
            continue;
        if (auto *r = qobject_cast<VGonggongwangpan_list_item *>(list->itemWidget(it)))
            out << r->info();
    }
    return out;
}

M_fileinfo VGonggongwangpan_list::currentItem() const
{
    QListWidgetItem *it = listWidget()->currentItem();
    if (!it || !it->isSelected()) {
        const QList<QListWidgetItem *> sel = listWidget()->selectedItems();
        it = sel.isEmpty() ? nullptr : sel.first();
    }
    if (auto *r = it ? qobject_cast<VGonggongwangpan_list_item *>(listWidget()->itemWidget(it)) : nullptr)
        return r->info();
    return M_fileinfo();
}

void VGonggongwangpan_list::syncChecks()
{
    QListWidget *list = listWidget();
    for (int i = 0; i < list->count(); ++i) {
        if (auto *r = qobject_cast<VGonggongwangpan_list_item *>(list->itemWidget(list->item(i))))
            r->setChecked(list->item(i)->isSelected());
    }
}

void VGonggongwangpan_list::selectAll()
{
    listWidget()->selectAll();
}

bool VGonggongwangpan_list::startRename()
{
    const QList<QListWidgetItem *> sel = listWidget()->selectedItems();
    if (sel.size() != 1)
        return false;
    auto *r = qobject_cast<VGonggongwangpan_list_item *>(listWidget()->itemWidget(sel.first()));
    if (!r || !VPermission::itemAllows(r->info(), VPermission::Rename)) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("没有重命名权限"), false);
        return false;
    }
    if (!r->startRename()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("请先完成正在进行的重命名"), false);
        return false;
    }
    return true;
}

void VGonggongwangpan_list::startDrag()
{
    const VGonggongwangpan_dragout::Landing l = VGonggongwangpan_dragout::run(this, selection());
    if (!l.folder.isEmpty())
        emit signalDrag2Local(l.folder, l.items);
}

bool VGonggongwangpan_list::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != listWidget()->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *e = static_cast<QDropEvent *>(event);
        const QMimeData *m = e->mimeData();
        if (m_acceptUpload && m && m->hasUrls() && m->property("isTemp").toInt() != 1)
            e->acceptProposedAction();
        else
            e->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *e = static_cast<QDropEvent *>(event);
        const QMimeData *m = e->mimeData();
        if (!m_acceptUpload || !m || !m->hasUrls() || m->property("isTemp").toInt() == 1) {
            e->ignore();
            return true;
        }
        e->acceptProposedAction();
        emit signalDropUrls(m->urls());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        if (m_gesture.starts(listWidget(), event)) {
            startDrag();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
