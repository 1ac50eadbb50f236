#include "gonggongwangpan/vgonggongwangpan_flow.h"

#include "VWidgets/vgrid_page.h"
#include "disk/vfilekind.h"
#include "utils/vutils.h"

#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

VGonggongwangpan_flow::VGonggongwangpan_flow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan_flow"));
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("listWidget_flow"));
    m_list->setAccessibleName(QStringLiteral("文件图标"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setWrapping(true);
    m_list->setWordWrap(true);
    m_list->setIconSize(QSize(64, 64));
    m_list->setGridSize(QSize(118, 118));
    m_list->setSpacing(6);
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setAcceptDrops(true);
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);
    m_list->setStyleSheet(QStringLiteral(
        "QListWidget{background:#FFFFFF;outline:0;}"
        "QListWidget::item{color:#333333;border-radius:4px;padding:4px;}"
        "QListWidget::item:hover{background:#F5F7FA;}"
        "QListWidget::item:selected{background:#E6F2FC;color:#333333;}"));
    lay->addWidget(m_list, 1);

    auto *foot = new QWidget(this);
    foot->setObjectName(QStringLiteral("widget_flow_foot"));
    foot->setFixedHeight(40);
    auto *fl = new QHBoxLayout(foot);
    fl->setContentsMargins(10, 0, 10, 0);
    m_pager = new VGrid_page(foot);
    fl->addWidget(m_pager);
    lay->addWidget(foot);

    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] { emit signalCount(selection()); });
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *it) {
        const int i = it->data(Qt::UserRole).toInt();
        if (i >= 0 && i < m_items.size())
            emit signalClick(m_items.at(i));
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *it) {
        const int i = it->data(Qt::UserRole).toInt();
        if (i >= 0 && i < m_items.size())
            emit signalDoubleClick(m_items.at(i));
    });
    connect(m_list, &QListWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QListWidgetItem *item = m_list->itemAt(pos);
        if (!item)
            return;
        if (!item->isSelected()) {
            m_list->clearSelection();
            item->setSelected(true);
        }
        emit signalContextMenu(m_list->viewport()->mapToGlobal(pos));
    });
}

void VGonggongwangpan_flow::setPage(quint64 build, const QList<M_fileinfo> &items)
{
    m_build = build;
    m_items = items;
    const QSignalBlocker b(m_list);
    m_list->clear();
    const QFontMetrics fm(m_list->font());
    for (int i = 0; i < items.size(); ++i) {
        const M_fileinfo &info = items.at(i);
        auto *it = new QListWidgetItem(QIcon(VFileKind::iconPath(info.fileext, info.isdir, true)),
                                       fm.elidedText(info.filename, Qt::ElideMiddle, 200));
        it->setData(Qt::UserRole, i);
        it->setToolTip(info.filename);
        it->setData(Qt::AccessibleTextRole, info.filename);
        it->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_list->addItem(it);
    }
    emit signalCount(QList<M_fileinfo>());
}

int VGonggongwangpan_flow::itemCount() const
{
    return m_list->count();
}

QList<M_fileinfo> VGonggongwangpan_flow::selection() const
{
    QList<M_fileinfo> out;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->isSelected())
            out << m_items.value(m_list->item(i)->data(Qt::UserRole).toInt());
    }
    return out;
}

M_fileinfo VGonggongwangpan_flow::currentItem() const
{
    const QList<M_fileinfo> sel = selection();
    return sel.isEmpty() ? M_fileinfo() : sel.first();
}

bool VGonggongwangpan_flow::eventFilter(QObject *watched, QEvent *event)
{
    // Drags are taken so the pointer shows a target, but a drop here uploads nothing.
    if (watched == m_list->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            static_cast<QDropEvent *>(event)->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            static_cast<QDropEvent *>(event)->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
