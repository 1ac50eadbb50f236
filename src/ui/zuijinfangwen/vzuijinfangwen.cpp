#include "zuijinfangwen/vzuijinfangwen.h"

#include "zuijinfangwen/vzuijinfangwen_item.h"
#include "main/enum_leftmenu.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"

#include "Api/api.h"
#include "lists/vlistrules.h"
#include "lists/vpagedlist.h"
#include "records/m_fileinfo.h"
#include "transfer/vglobalconnect.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QCheckBox>
#include <QJsonArray>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

VZuijinfangwen::VZuijinfangwen(QWidget *parent)
    : VListPage(QStringLiteral("VZuijinfangwen"), QStringLiteral("最近访问"), parent)
{
    m_refresh = addRefreshButton();
    topBar()->addStretch(1);
    topBar()->addWidget(paneButton());

    VGrid *g = grid();
    // One visit at a time: the header's box keeps its room but is not offered.
    QSizePolicy sp = g->allCheckBox()->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    g->allCheckBox()->setSizePolicy(sp);
    g->allCheckBox()->hide();
    listWidget()->setSelectionMode(QAbstractItemView::SingleSelection);
    g->addColumn(QStringLiteral("文件名"), false, 100, 0);
    g->addColumn(QStringLiteral("访问时间"), false, 140, 140);
    g->addColumn(QStringLiteral("访问IP"), false, 120, 120);
    g->addColumn(QStringLiteral("操作端"), false, 80, 80);
    g->addColumn(QStringLiteral("路径"), false, 200, 220, true);
    // Newest first, as the server sends them.
    setGridMinimumWidth(670);
    setModel(new VPagedList({}, this));
    setListRequest(Api::visit_list, nullptr, QStringLiteral("list"));
    listWidget()->setContextMenuPolicy(Qt::CustomContextMenu);

    orderTabs();
    connect(g, &VGrid::signalItemClick, this, &VZuijinfangwen::slotlItemClick);
    connect(g, &VGrid::signalItemDoubleClick, this, &VZuijinfangwen::slotItemDoubleClick);
    connect(listWidget(), &QListWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QListWidgetItem *item = listWidget()->itemAt(pos);
        if (item)
            showMenu(item->data(Qt::UserRole).toString(), listWidget()->viewport()->mapToGlobal(pos));
    });
    // Return opens the current row as a double click does.
    connect(listWidget(), &QListWidget::activated, this, [this](const QModelIndex &index) {
        slotItemDoubleClick(listWidget()->item(index.row()));
    });
}

QJsonArray VZuijinfangwen::prepareItems(const QJsonArray &list)
{
    // A file visited twice (preview, download) is listed twice: rows are
    // told apart by their place in the list.
    QJsonArray numbered;
    for (int i = 0; i < list.size(); ++i) {
        QJsonObject o = list.at(i).toObject();
        o.insert(QStringLiteral("rowid"), QString::number(i));
        numbered.append(o);
    }
    return numbered;
}

QWidget *VZuijinfangwen::createRow(const QJsonObject &item, QListWidgetItem *listItem)
{
    auto *row = new VZuijinfangwen_item(M_api_visit(item), idOf(item), listItem, listWidget());
    connect(row, &VZuijinfangwen_item::signalDownload, this,
            [this](const QString &id) { handOff(fileop_download, visitOf(id)); });
    connect(row, &VZuijinfangwen_item::signalMore, this, &VZuijinfangwen::showMenu);
    return row;
}

QString VZuijinfangwen::idOf(const QJsonObject &item) const
{
    return item.value(QStringLiteral("rowid")).toString();
}

M_api_visit VZuijinfangwen::visitOf(const QString &rowId) const
{
    const QJsonObject o = model()->find(rowId, QStringLiteral("rowid"));
    return o.isEmpty() ? M_api_visit() : M_api_visit(o);
}

M_api_visit VZuijinfangwen::current() const
{
    const QStringList ids = selectedIds();
    return ids.isEmpty() ? M_api_visit() : visitOf(ids.first());
}

void VZuijinfangwen::selectionChanged(const QStringList &ids)
{
    VListPage::selectionChanged(ids);
    if (ids.size() == 1)
        requestFileInfo(visitOf(ids.first()).fileid);
}

void VZuijinfangwen::slotlItemClick(QListWidgetItem *item)
{
    if (item)
        requestFileInfo(visitOf(item->data(Qt::UserRole).toString()).fileid);
}

void VZuijinfangwen::slotItemDoubleClick(QListWidgetItem *item)
{
    if (item)
        handOff(fileop_viewonline, visitOf(item->data(Qt::UserRole).toString()));
}

void VZuijinfangwen::showMenu(const QString &rowId, const QPoint &globalPos)
{
    selectIds({rowId});
    const M_api_visit v = visitOf(rowId);
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("menu_visit"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool deleted = v.status == 1;
    QAction *view = m_menu->addAction(QStringLiteral("在线预览"), this, &VZuijinfangwen::slot2View);
    QAction *down = m_menu->addAction(QStringLiteral("下载"), this, &VZuijinfangwen::slot2Down);
    QAction *edit = m_menu->addAction(QStringLiteral("本地编辑"), this, &VZuijinfangwen::slot2Localedit);
    // Offered only where they can work; a click that still gets through is refused with the reason.
    view->setEnabled(VListRules::refusal(VListRules::Preview, deleted, v.isdir).isEmpty());
    down->setEnabled(VListRules::refusal(VListRules::Download, deleted, v.isdir).isEmpty());
    edit->setEnabled(VListRules::refusal(VListRules::Edit, deleted, v.isdir).isEmpty());
    m_menu->popup(globalPos);
}

void VZuijinfangwen::slot2View(bool)
{
    handOff(fileop_viewonline, current());
}

void VZuijinfangwen::slot2Down(bool)
{
    handOff(fileop_download, current());
}

void VZuijinfangwen::slot2Localedit(bool)
{
    handOff(fileop_editlocal, current());
}

void VZuijinfangwen::handOff(int op, const M_api_visit &visit)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (visit.fileid.isEmpty())
        return;
    const VListRules::Op rule = op == fileop_viewonline ? VListRules::Preview
        : op == fileop_download                         ? VListRules::Download
                                                        : VListRules::Edit;
    const QString refused = VListRules::refusal(rule, visit.status == 1, visit.isdir);
    if (!refused.isEmpty()) {
        emit hub->signalLayer_err(refused, false);
        return;
    }
    if (op == fileop_viewonline) {
        // The global task asks the disk for the file and opens the viewer.
        emit hub->signalFileOp(fileop_viewonline, visit.fileid);
        return;
    }
    // The file as the disk has it now (rights, size; gone since the list
    // was fetched), then the disk view's own download or edit path.
    send(Api::file_info, Api::params_file_info(visit.fileid), QJsonObject{{QStringLiteral("op"), op}},
         [](const QJsonObject &re) {
             VGlobalConnect *hub = VGlobalConnect::instance();
             if (Api::instance()->checkCode(re, false) != 0) {
                 const QString msg = Api::getMsg(re);
                 emit hub->signalLayer_err(msg.isEmpty() ? QStringLiteral("文件不存在") : msg, false);
                 return;
             }
             const M_fileinfo f(Api::getData(re).toObject());
             const int op = Api::getCustomData(re).value(QStringLiteral("op")).toInt();
             if (op == fileop_download) {
                 emit hub->signalFileOp(fileop_download,
                                        QVariantMap{{QStringLiteral("localpath"), QString()},
                                                    {QStringLiteral("items"), QVariant::fromValue(QList<M_fileinfo>{f})}});
             } else {
                 emit hub->signalFileOp(fileop_editlocal,
                                        QVariantMap{{QStringLiteral("localpath"), QString()},
                                                    {QStringLiteral("item"), QVariant::fromValue(f)}});
             }
         });
}
