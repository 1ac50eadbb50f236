#include "gonggongwangpan/vgonggongwangpan_flow.h"

#include "gonggongwangpan/vgonggongwangpan_dragout.h"
#include "gonggongwangpan/vgonggongwangpan_list_item.h"
#include "VWidgets/vgrid_page.h"
#include "context/vglobalparameter.h"
#include "disk/vfilekind.h"
#include "disk/vpermission.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QApplication>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

// The name editor of the icon view: it offers the name without its
// extension and hands what was typed to the view instead of writing the item
// (the folder is listed again once the rename has been carried out).
class VFlowNameDelegate : public QStyledItemDelegate
{
public:
    explicit VFlowNameDelegate(VGonggongwangpan_flow *view) : QStyledItemDelegate(view), m_view(view) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *e = new QLineEdit(parent);
        e->setObjectName(QStringLiteral("lineEdit_rename"));
        e->setAccessibleName(QStringLiteral("新名称"));
        e->setAlignment(Qt::AlignCenter);
        m_editor = e;
        m_editing = index;
        return e;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const int i = index.data(Qt::UserRole).toInt();
        auto *e = static_cast<QLineEdit *>(editor);
        e->setText(VGonggongwangpan_list_item::editableName(m_view->m_items.value(i), &m_view->m_renameExt));
        e->selectAll();
    }
    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        m_view->commitRename(index.data(Qt::UserRole).toInt(), static_cast<QLineEdit *>(editor)->text());
    }
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        // Where the name is, under the icon, across the cell.
        const QRect r = option.rect;
        const int h = editor->sizeHint().height();
        const int top = r.top() + option.decorationSize.height() + 8;
        editor->setGeometry(r.left() + 2, qMin(top, r.bottom() - h), r.width() - 4, h);
    }
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override
    {
        // Committed, cancelled or gone with its item: the rename flag goes back.
        m_view->editorGone();
        m_editing = QPersistentModelIndex();
        QStyledItemDelegate::destroyEditor(editor, index);
    }
    QLineEdit *editor() const { return m_editor; }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // The name being edited shows only in the editor.
        if (m_editing.isValid() && index == m_editing)
            option->text.clear();
    }

private:
    VGonggongwangpan_flow *m_view;
    mutable QPointer<QLineEdit> m_editor;
    mutable QPersistentModelIndex m_editing;
};

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
    // Names are edited only when asked (F2, the menu), never by a click.
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setItemDelegate(new VFlowNameDelegate(this));
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

VGonggongwangpan_flow::~VGonggongwangpan_flow()
{
    // An editor still open goes with the view: the rename flag goes back.
    if (m_renaming)
        VGlobalParameter::instance()->setIsRenaming(false);
}

void VGonggongwangpan_flow::setPage(quint64 build, const QList<M_fileinfo> &items)
{
    m_build = build;
    const QSignalBlocker b(m_list);
    // An open name editor goes with its item.
    m_list->clear();
    m_items = items;
    const QFontMetrics fm(m_list->font());
    for (int i = 0; i < items.size(); ++i) {
        const M_fileinfo &info = items.at(i);
        auto *it = new QListWidgetItem(QIcon(VFileKind::iconPath(info.fileext, info.isdir, true)),
                                       fm.elidedText(info.filename, Qt::ElideMiddle, 200));
        it->setData(Qt::UserRole, i);
        it->setToolTip(info.filename);
        it->setData(Qt::AccessibleTextRole, info.filename);
        it->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        it->setFlags(it->flags() | Qt::ItemIsEditable);
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

QLineEdit *VGonggongwangpan_flow::editor() const
{
    return m_renaming ? static_cast<VFlowNameDelegate *>(m_list->itemDelegate())->editor() : nullptr;
}

bool VGonggongwangpan_flow::startRename()
{
    const QList<QListWidgetItem *> sel = m_list->selectedItems();
    if (sel.size() != 1)
        return false;
    const M_fileinfo info = m_items.value(sel.first()->data(Qt::UserRole).toInt());
    if (!VPermission::itemAllows(info, VPermission::Rename)) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("没有重命名权限"), false);
        return false;
    }
    if (m_renaming)
        return true;
    VGlobalParameter *g = VGlobalParameter::instance();
    if (g->isRenaming()) {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("请先完成正在进行的重命名"), false);
        return false;
    }
    g->setIsRenaming(true);
    m_renaming = true;
    m_list->setCurrentItem(sel.first(), QItemSelectionModel::NoUpdate);
    m_list->editItem(sel.first());
    if (!editor()) {
        editorGone(); // the view refused to open an editor
        return false;
    }
    editor()->setFocus();
    return true;
}

void VGonggongwangpan_flow::editorGone()
{
    if (!m_renaming)
        return;
    m_renaming = false;
    VGlobalParameter::instance()->setIsRenaming(false);
}

void VGonggongwangpan_flow::commitRename(int index, const QString &typed)
{
    if (index < 0 || index >= m_items.size())
        return;
    const M_fileinfo &info = m_items.at(index);
    const QString name = VGonggongwangpan_list_item::renamedTo(info, typed, m_renameExt);
    if (name.isEmpty())
        return;
    M_renameinfo r;
    r.path = info.fullpath;
    r.newname = name;
    emit signalRename(r);
}

bool VGonggongwangpan_flow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        // Dragging selected items out to a local folder, as in the list view.
        if (!m_renaming && m_gesture.starts(m_list, event)) {
            const VGonggongwangpan_dragout::Landing l = VGonggongwangpan_dragout::run(this, selection());
            if (!l.folder.isEmpty())
                emit signalDrag2Local(l.folder, l.items);
            return true;
        }
        // Drags are taken so the pointer shows a target, but a drop here uploads nothing.
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
