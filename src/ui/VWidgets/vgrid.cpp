#include "VWidgets/vgrid.h"
#include "ui_vgrid.h"
#include "VWidgets/vgrid_head_item.h"
#include "VWidgets/vgrid_page.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QVBoxLayout>

VGrid::VGrid(QWidget *parent) : QWidget(parent), ui(new Ui::VGrid)
{
    ui->setupUi(this);
    m_top = ui->widget_grid_top;
    m_headLayout = ui->horizontalLayout_head;
    m_all = ui->checkBox_all;
    m_list = ui->listWidget;
    m_foot = ui->widget_grid_foot;
    m_pager = ui->pager;
    m_list->installEventFilter(this);

    m_empty = new QLabel(QStringLiteral("暂无数据"), m_list);
    m_empty->setObjectName(QStringLiteral("label_empty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setStyleSheet(QStringLiteral("color:#999999;font-size:14px;"));
    m_loadingLabel = new QLabel(m_list);
    m_loadingLabel->setAlignment(Qt::AlignCenter);
    m_movie = new QMovie(QStringLiteral(":/images/gif/loading.gif"), QByteArray(), this);
    m_loadingLabel->setMovie(m_movie);
    m_loadingLabel->hide();

    connect(m_all, &QCheckBox::toggled, this, &VGrid::slotAllChecked);
    connect(m_all, &QCheckBox::stateChanged, this, &VGrid::slotStateChanged);
    connect(m_list, &QListWidget::currentItemChanged, this, &VGrid::slotItemClicked);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &VGrid::slotItemDoubleClicked);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &VGrid::slotSelectionChanged);
    connect(m_list, &QListWidget::itemClicked, this, &VGrid::signalItemClick);
    connect(this, &VGrid::signalSetLoading, this, &VGrid::setLoading, Qt::QueuedConnection);
    refreshEmpty();
}

VGrid::~VGrid()
{
    delete ui;
}

VGrid_head_item *VGrid::addColumn(const QString &title, bool sortable, int minWidth, int width, bool last)
{
    auto *h = new VGrid_head_item(m_heads.size() + 1, title, sortable, m_top);
    h->setMinimumWidth(minWidth);
    if (width > 0 && !last)
        h->setFixedWidth(width);
    m_headLayout->addWidget(h, width > 0 ? 0 : 1);
    for (VGrid_head_item *other : qAsConst(m_heads)) {
        connect(h, &VGrid_head_item::signalClick, other, &VGrid_head_item::slotClick);
        connect(other, &VGrid_head_item::signalClick, h, &VGrid_head_item::slotClick);
    }
    connect(h, &VGrid_head_item::signalClick, this, &VGrid::slotClick);
    connect(h, &VGrid_head_item::signalResize, this, &VGrid::slotResize);
    m_heads << h;
    return h;
}

QList<int> VGrid::columnWidths() const
{
    QList<int> w;
    for (VGrid_head_item *h : m_heads)
        w << h->width();
    return w;
}

QListWidgetItem *VGrid::addRow(QWidget *rowWidget, int height)
{
    auto *item = new QListWidgetItem(m_list);
    item->setSizeHint(QSize(rowWidget->sizeHint().width(), height));
    m_list->setItemWidget(item, rowWidget);
    refreshEmpty();
    return item;
}

void VGrid::clearRows()
{
    m_list->clear();
    refreshEmpty();
}

void VGrid::refreshEmpty()
{
    m_empty->setVisible(m_list->count() == 0 && !m_loading);
    placeOverlays();
}

bool VGrid::isEmptyShown() const
{
    return !m_empty->isHidden();
}

void VGrid::slotClick(VGrid_head_item *item)
{
    emit signalClick(item);
    emit signalSortParams(item->index(), item->ordertype());
}

void VGrid::slotAllChecked(bool b)
{
    if (b)
        m_list->selectAll();
    else
        m_list->clearSelection();
}

void VGrid::slotStateChanged(int) {}

void VGrid::slotResize(int index, int width)
{
    emit signalResize(index, width);
    emit signalResize(columnWidths());
}

void VGrid::slotItemClicked(QListWidgetItem *current, QListWidgetItem *)
{
    if (current)
        emit signalItemClick(current);
}

void VGrid::slotItemDoubleClicked(QListWidgetItem *item)
{
    emit signalItemDoubleClick(item);
}

void VGrid::slotSelectionChanged()
{
    const QList<QListWidgetItem *> sel = m_list->selectedItems();
    // keep the select-all box in step without re-selecting
    const QSignalBlocker block(m_all);
    m_all->setChecked(m_list->count() > 0 && sel.size() == m_list->count());
    emit signalSelectedItems(sel);
}

void VGrid::setLoading(bool on)
{
    m_loading = on;
    m_loadingLabel->setVisible(on);
    if (on)
        m_movie->start();
    else
        m_movie->stop();
    refreshEmpty();
}

void VGrid::slotSetOtherSelectedStatus(QListWidgetItem *item, bool selected)
{
    if (item)
        item->setSelected(selected);
}

bool VGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto *ke = static_cast<QKeyEvent *>(event);
        const bool down = event->type() == QEvent::KeyPress;
        if (ke->key() == Qt::Key_Control)
            m_ctrlDown = down;
        else if (ke->key() == Qt::Key_A && !ke->isAutoRepeat())
            m_aDown = down;
        if (ke->key() == Qt::Key_A || ke->key() == Qt::Key_Control) {
            if (down && m_ctrlDown && m_aDown)
                m_list->selectAll();
            // the list's own Ctrl+A handling is replaced by the two-key rule
            return ke->key() == Qt::Key_A;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void VGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void VGrid::placeOverlays()
{
    const QRect r = m_list->rect();
    m_empty->setGeometry(r);
    m_loadingLabel->setGeometry(r);
}
