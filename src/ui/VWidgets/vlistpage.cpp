#include "VWidgets/vlistpage.h"

#include "VWidgets/vfileinfo.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_page.h"
#include "VWidgets/vlistrow.h"
#include "VWidgets/vprompt.h"
#include "main/enum_leftmenu.h"

#include "Api/api.h"
#include "lists/vlistrules.h"
#include "lists/vpagedlist.h"
#include "records/m_fileinfo.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString timeText(const QString &t)
{
    const QDateTime d = VUtils::parseDateTime(t);
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : t;
}
} // namespace

int &VListPage::chunkSize()
{
    static int n = 10;
    return n;
}

VListPage::VListPage(const QString &objectName, const QString &title, QWidget *parent) : VPage(parent)
{
    setObjectName(objectName);
    setAccessibleName(title);
    setStyleSheet(QStringLiteral("#%1{background:#FFFFFF;}").arg(objectName));
    setAttribute(Qt::WA_StyledBackground, true);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(16, 10, 16, 6);
    root->setSpacing(8);

    m_top = new QHBoxLayout;
    m_top->setSpacing(8);
    root->addLayout(m_top);

    auto *middle = new QHBoxLayout;
    middle->setSpacing(10);
    m_grid = new VGrid(this);
    m_grid->listWidget()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->listWidget()->setUniformItemSizes(true);
    m_grid->listWidget()->setAccessibleName(title + QStringLiteral("列表"));
    m_grid->allCheckBox()->setAccessibleName(QStringLiteral("全选"));
    m_grid->pager()->hide();
    middle->addWidget(m_grid, 1);

    m_detail = new QWidget(this);
    m_detail->setObjectName(QStringLiteral("widget_detail"));
    m_detail->setFixedWidth(240);
    m_detail->setAttribute(Qt::WA_StyledBackground, true);
    m_detail->setStyleSheet(QStringLiteral("#widget_detail{border-left:1px solid #EEEEEE;background:#FFFFFF;}"));
    auto *dl = new QVBoxLayout(m_detail);
    dl->setContentsMargins(12, 0, 0, 0);
    auto *head = new QLabel(QStringLiteral("详细信息"), m_detail);
    head->setObjectName(QStringLiteral("label_detail"));
    head->setStyleSheet(QStringLiteral("color:#0081dd;border-bottom:2px solid #0081dd;padding:6px 4px;"));
    auto *hl = new QHBoxLayout;
    hl->addWidget(head);
    hl->addStretch(1);
    dl->addLayout(hl);
    m_info = new VFileInfo(m_detail);
    dl->addWidget(m_info, 1);
    middle->addWidget(m_detail);
    root->addLayout(middle, 1);

    auto *foot = new QHBoxLayout;
    m_count = new QLabel(QStringLiteral("已选中0个文件/文件夹"), this);
    m_count->setObjectName(QStringLiteral("label_status"));
    m_count->setStyleSheet(QStringLiteral("color:#999999;"));
    foot->addWidget(m_count);
    foot->addStretch(1);
    root->addLayout(foot);

    // The pane switch sits at the right end of the top bar.
    m_paneButton = new QToolButton(this);
    m_paneButton->setObjectName(QStringLiteral("toolButton_shousuo"));
    m_paneButton->setCheckable(true);
    m_paneButton->setChecked(true);
    m_paneButton->setAutoRaise(true);
    m_paneButton->setCursor(Qt::PointingHandCursor);
    m_paneButton->setIcon(QIcon(QStringLiteral(":/images/icon/shousuo_on.png")));
    m_paneButton->setToolTip(QStringLiteral("显示或隐藏详细信息"));
    m_paneButton->setAccessibleName(QStringLiteral("详细信息"));
    connect(m_paneButton, &QToolButton::toggled, this, [this](bool on) {
        m_paneChosen = true;
        slotIsShousuo(!on);
    });

    connect(m_grid, &VGrid::signalSelectedItems, this, [this] {
        const QStringList ids = selectedIds();
        // Row check boxes follow the list's selection.
        QListWidget *list = listWidget();
        for (int i = 0; i < list->count(); ++i) {
            if (QWidget *w = list->itemWidget(list->item(i)))
                if (auto *box = w->findChild<QAbstractButton *>(QStringLiteral("checkBox"))) {
                    const QSignalBlocker b(box);
                    box->setChecked(list->item(i)->isSelected());
                }
        }
        selectionChanged(ids);
    });
}

VListPage::~VListPage() = default;

QListWidget *VListPage::listWidget() const
{
    return m_grid->listWidget();
}

void VListPage::setModel(VPagedList *model)
{
    m_model = model;
    connect(m_model, &VPagedList::signalPageReady, this, &VListPage::showPage);
    connect(m_model, &VPagedList::signalBuilding, this, [this](bool on) {
        if (on)
            m_grid->setLoading(true);
    });
    connect(m_grid, &VGrid::signalSortParams, this, &VListPage::slotSortParams);
    connect(m_grid->pager(), &VGrid_page::currentPageChanged, this, &VListPage::slotPageChanged);
}

void VListPage::slotIsShousuo(bool collapsed)
{
    m_detail->setVisible(!collapsed);
    const QSignalBlocker b(m_paneButton);
    m_paneButton->setChecked(!collapsed);
    m_paneButton->setIcon(QIcon(collapsed ? QStringLiteral(":/images/icon/shousuo.png")
                                          : QStringLiteral(":/images/icon/shousuo_on.png")));
}

void VListPage::resizeEvent(QResizeEvent *event)
{
    VPage::resizeEvent(event);
    if (m_gridMin <= 0 || m_paneChosen)
        return;
    // margins 32, pane 240, spacing 10
    const bool fits = width() - 32 - 250 >= m_gridMin;
    if (fits == m_detail->isHidden())
        slotIsShousuo(!fits);
}

QPushButton *VListPage::addTopButton(const QString &text, const QString &objectName, const QString &icon)
{
    auto *b = new QPushButton(QIcon(icon), text, this);
    b->setObjectName(objectName);
    b->setAccessibleName(text);
    b->setCursor(Qt::PointingHandCursor);
    b->setMinimumHeight(30);
    b->setStyleSheet(QStringLiteral(
        "QPushButton{border:1px solid #DCDFE6;border-radius:3px;padding:0 12px;color:#333333;background:#FFFFFF;}"
        "QPushButton:hover{color:#0081DD;border-color:#0081DD;}"
        "QPushButton:disabled{color:#C0C4CC;border-color:#EBEEF5;}"));
    m_top->addWidget(b);
    return b;
}

QPushButton *VListPage::addRefreshButton()
{
    QPushButton *b =
        addTopButton(QStringLiteral("刷新"), QStringLiteral("pushButton_refresh"), QStringLiteral(":/images/icon/shuaxin.png"));
    connect(b, &QPushButton::clicked, this, [this] { on_pushButton_refresh_clicked(); });
    return b;
}

void VListPage::setListRequest(int api, std::function<QJsonObject()> params, const QString &listKey)
{
    m_listApi = api;
    m_listParams = std::move(params);
    m_listKey = listKey;
}

void VListPage::confirm(const QString &objectName, const QString &question, std::function<void()> onConfirmed)
{
    auto *p = new VPrompt(this);
    p->setObjectName(objectName);
    p->setType(5);
    p->setText(question);
    connect(p, &VPrompt::signalConfirmed, this, [p, onConfirmed] {
        p->accept();
        onConfirmed();
    });
    openDialog(p);
}

void VListPage::setRowMenu(const QString &objectName, const QList<MenuAction> &actions)
{
    listWidget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listWidget(), &QListWidget::customContextMenuRequested, this, [this, objectName, actions](const QPoint &pos) {
        QListWidgetItem *item = listWidget()->itemAt(pos);
        if (!item)
            return;
        if (!item->isSelected())
            selectIds({item->data(Qt::UserRole).toString()});
        if (m_rowMenu)
            m_rowMenu->deleteLater();
        m_rowMenu = new QMenu(this);
        m_rowMenu->setObjectName(objectName);
        m_rowMenu->setAttribute(Qt::WA_DeleteOnClose);
        for (const MenuAction &a : actions)
            m_rowMenu->addAction(a.first, this, a.second);
        m_rowMenu->popup(listWidget()->viewport()->mapToGlobal(pos));
    });
}

void VListPage::onDeleteKey(std::function<void()> act)
{
    auto *del = new QShortcut(QKeySequence::Delete, listWidget(), nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, std::move(act));
}

void VListPage::orderTabs()
{
    QList<QWidget *> chain;
    auto take = [&chain](QWidget *w) {
        if (!w)
            return;
        if (w->focusPolicy() & Qt::TabFocus) {
            chain << w;
            return;
        }
        for (QWidget *c : w->findChildren<QWidget *>())
            if (c->focusPolicy() & Qt::TabFocus)
                chain << c;
    };
    for (int i = 0; i < m_top->count(); ++i)
        take(m_top->itemAt(i)->widget());
    chain << m_grid->allCheckBox() << listWidget() << m_info;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

// ---- rows ---------------------------------------------------------------------

void VListPage::showPage(quint64 build, const QJsonArray &items)
{
    VGrid_page *pager = m_grid->pager();
    {
        const QSignalBlocker b(pager);
        pager->setPageCount(m_model->pageCount());
        pager->setCurrentPage(m_model->page());
    }
    // A pager only when there is more than one page.
    pager->setVisible(m_model->pageCount() > 1);
    m_rowBuild = build;
    m_pending = items;
    m_next = 0;
    {
        const QSignalBlocker b(listWidget());
        m_grid->clearRows();
    }
    selectionChanged(QStringList());
    m_grid->setLoading(m_loading);
    m_building = true;
    createChunk(build);
}

void VListPage::createChunk(quint64 build)
{
    if (build != m_rowBuild)
        return; // a newer page took over
    QListWidget *list = listWidget();
    const QList<int> widths = m_grid->columnWidths();
    const int end = qMin(int(m_pending.size()), m_next + qMax(1, chunkSize()));
    for (; m_next < end; ++m_next) {
        const QJsonObject o = m_pending.at(m_next).toObject();
        auto *item = new QListWidgetItem;
        item->setData(Qt::UserRole, idOf(o));
        item->setData(Qt::AccessibleTextRole, nameOf(o));
        item->setSizeHint(QSize(100, 40));
        list->addItem(item);
        QWidget *row = createRow(o, item);
        list->setItemWidget(item, row);
        if (auto *r = qobject_cast<VListRow *>(row)) {
            r->slotResize(widths);
            connect(m_grid, qOverload<QList<int>>(&VGrid::signalResize), r, &VListRow::slotResize);
            connect(r, &VListRow::signalSetOtherSelectedStatus, m_grid, &VGrid::slotSetOtherSelectedStatus);
            // A path link opens its folder in the disk view.
            connect(r, &VListRow::signalOpenFolder, this, [](const QString &path) {
                emit VGlobalConnect::instance()->signalClickLeftMenu(leftmenu_gonggongwangpan, path);
            });
        }
    }
    m_grid->refreshEmpty();
    if (m_next < m_pending.size()) {
        QTimer::singleShot(0, this, [this, build] { createChunk(build); });
        return;
    }
    m_building = false;
    m_pending = QJsonArray();
    emit signalRowsBuilt(build);
}

QStringList VListPage::selectedIds() const
{
    QStringList out;
    QListWidget *list = listWidget();
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            out << list->item(i)->data(Qt::UserRole).toString();
    }
    return out;
}

void VListPage::selectIds(const QStringList &ids)
{
    QListWidget *list = listWidget();
    {
        const QSignalBlocker b(list);
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(ids.contains(list->item(i)->data(Qt::UserRole).toString()));
    }
    m_grid->slotSelectionChanged();
}

QWidget *VListPage::rowWidget(const QString &id) const
{
    QListWidget *list = listWidget();
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toString() == id)
            return list->itemWidget(list->item(i));
    return nullptr;
}

int VListPage::rowCount() const
{
    return listWidget()->count();
}

QString VListPage::nameOf(const QJsonObject &item) const
{
    return item.value(QStringLiteral("filename")).toString();
}

QString VListPage::rowId(int row) const
{
    QListWidgetItem *it = listWidget()->item(row);
    return it ? it->data(Qt::UserRole).toString() : QString();
}

void VListPage::selectionChanged(const QStringList &ids)
{
    setCount(ids.size());
}

void VListPage::setCount(int n)
{
    m_count->setText(QStringLiteral("已选中%1个文件/文件夹").arg(n));
}

// ---- requests ---------------------------------------------------------------------

void VListPage::send(int api, const QJsonObject &params, const QJsonObject &custom,
                     std::function<void(const QJsonObject &)> onReply)
{
    auto *req = new VUrlRequest;
    if (!custom.isEmpty())
        req->addCustomData(custom);
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this, [onReply](const QJsonObject &re) {
        if (onReply)
            onReply(re);
    });
    Api::instance()->startApi(req, Api::apis(api), params, false);
}

void VListPage::reload()
{
    getFileList();
}

void VListPage::getFileList()
{
    if (m_listApi < 0)
        return; // a list handed in, not fetched
    sendList(m_listApi, m_listParams ? m_listParams() : QJsonObject(),
             [this](const QJsonObject &re) { slotGetFileList(re); });
}

void VListPage::slotGetFileList(const QJsonObject &re)
{
    takeList(re, m_listKey);
}

void VListPage::on_pushButton_refresh_clicked()
{
    getFileList();
}

void VListPage::sendList(int api, const QJsonObject &params, std::function<void(const QJsonObject &)> onReply)
{
    const quint64 seq = ++m_listSeq;
    m_loading = true;
    m_grid->setLoading(true);
    send(api, params, QJsonObject{{QStringLiteral("listseq"), QString::number(seq)}}, std::move(onReply));
}

bool VListPage::takeReply(const QJsonObject &reply)
{
    if (Api::getCustomData(reply).value(QStringLiteral("listseq")).toString() != QString::number(m_listSeq)) {
        ++m_staleReplies; // a newer request is on its way
        return false;
    }
    m_loading = false;
    m_grid->setLoading(m_model && m_model->isSorting());
    return true;
}

void VListPage::takeList(const QJsonObject &reply, const QString &listKey)
{
    if (!takeReply(reply))
        return;
    if (Api::instance()->checkCode(reply, false) != 0) {
        QString msg = Api::getMsg(reply);
        if (msg.isEmpty())
            msg = QStringLiteral("获取列表失败");
        emit VGlobalConnect::instance()->signalLayer_err(msg, false);
        if (m_model)
            m_model->clear();
        emit signalListed(false);
        return;
    }
    clearInfo();
    const QJsonValue data = Api::getData(reply);
    const QJsonArray items =
        listKey.isEmpty() ? Api::toArray(data) : data.toObject().value(listKey).toArray();
    if (m_model)
        m_model->setItems(prepareItems(items));
    emit signalListed(true);
}

void VListPage::slotSortParams(int index, int state)
{
    if (m_model)
        m_model->setSortColumn(index, state == 1);
}

void VListPage::slotPageChanged(int page)
{
    if (m_model)
        m_model->setPage(page);
}

// ---- detail pane ------------------------------------------------------------------

void VListPage::clearInfo()
{
    m_infoId.clear();
    m_info->clearInfo();
}

void VListPage::requestFileInfo(const QString &fileid)
{
    // The pane never keeps showing the previous row while this one loads.
    m_info->clearInfo();
    m_infoId = fileid;
    if (fileid.isEmpty())
        return;
    send(Api::file_info, Api::params_file_info(fileid), QJsonObject{{QStringLiteral("id"), fileid}},
         [this](const QJsonObject &re) { slotSetFileInfoReply(re); });
}

void VListPage::slotSetFileInfoReply(const QJsonObject &reply)
{
    if (Api::getCustomData(reply).value(QStringLiteral("id")).toString() != m_infoId)
        return; // details of a row no longer chosen
    if (Api::instance()->checkCode(reply, false) != 0) {
        m_info->showFailed();
        QString msg = Api::getMsg(reply);
        emit VGlobalConnect::instance()->signalLayer_err(msg.isEmpty() ? QStringLiteral("获取文件信息失败") : msg,
                                                         false);
        return;
    }
    const M_fileinfo f(Api::getData(reply).toObject());
    m_info->clearInfo();
    if (f.isdir) {
        m_info->setInfo(QStringLiteral("文件夹名："), f.filename);
    } else {
        m_info->setInfo(QStringLiteral("文件名："), f.filename);
        m_info->setInfo(QStringLiteral("文件大小："), VUtils::formatSize(f.filesize));
    }
    m_info->setInfo(QStringLiteral("位置："), VListRules::linkText(f.bankuai, f.fullpath));
    m_info->setInfo(QStringLiteral("更新时间："), timeText(f.updatetime.isEmpty() ? f.createtime : f.updatetime));
}

void VListPage::openDialog(QWidget *dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->open();
    else
        dialog->show();
}
