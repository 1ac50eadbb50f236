#include "wodeshoucang/vwodeshoucang.h"

#include "wodeshoucang/vwodeshoucang_item.h"
#include "main/enum_leftmenu.h"
#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"

#include "Api/api.h"
#include "lists/vpagedlist.h"
#include "transfer/vglobalconnect.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QJsonArray>
#include <QListWidget>
#include <QPushButton>


VWodeshoucang::VWodeshoucang(QWidget *parent)
    : VListPage(QStringLiteral("VWodeshoucang"), QStringLiteral("我的收藏"), parent)
{
    m_ok = addTopButton(QStringLiteral("取消收藏"), QStringLiteral("pushButton_ok"),
                        QStringLiteral(":/images/icon/quxiaoshoucang_top.png"));
    m_refresh = addRefreshButton();
    m_ok->setEnabled(false);
    topBar()->addStretch(1);
    topBar()->addWidget(paneButton());

    VGrid *g = grid();
    VGrid_head_item *name = g->addColumn(QStringLiteral("文件名"), true, 100, 0);
    g->addColumn(QStringLiteral("收藏时间"), true, 140, 140);
    g->addColumn(QStringLiteral("路径"), true, 200, 240, true);
    name->setActive(true);
    setGridMinimumWidth(600);
    setModel(new VPagedList({{QStringLiteral("filename"), false},
                             {QStringLiteral("addtime"), false},
                             {QStringLiteral("filepath"), false}},
                            this));
    setListRequest(Api::favourite_list, nullptr);
    setRowMenu(QStringLiteral("menu_favourite"), {{QStringLiteral("取消收藏"), [this] { toCancle(); }}});

    orderTabs();
    // Delete on the list acts on the selection as the top button does.
    onDeleteKey([this] { toCancle(); });
    connect(m_ok, &QPushButton::clicked, this, &VWodeshoucang::on_pushButton_ok_clicked);
    connect(g, &VGrid::signalItemClick, this, &VWodeshoucang::slotlItemClick);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signal2getFavList, this, &VWodeshoucang::slot2getFavList);
}

void VWodeshoucang::slot2getFavList()
{
    getFileList();
}

void VWodeshoucang::on_pushButton_ok_clicked()
{
    toCancle();
}

QWidget *VWodeshoucang::createRow(const QJsonObject &item, QListWidgetItem *listItem)
{
    auto *row = new VWodeshoucang_item(M_api_fav_info(item), listItem, listWidget());
    connect(row, &VWodeshoucang_item::signalCancel, this, [this](const QString &fileid) { cancel({fileid}); });
    return row;
}

QString VWodeshoucang::idOf(const QJsonObject &item) const
{
    return item.value(QStringLiteral("fileid")).toVariant().toString();
}

void VWodeshoucang::selectionChanged(const QStringList &ids)
{
    VListPage::selectionChanged(ids);
    m_ok->setEnabled(!ids.isEmpty());
    if (ids.size() == 1)
        requestFileInfo(ids.first());
}

void VWodeshoucang::slotlItemClick(QListWidgetItem *item)
{
    if (item)
        requestFileInfo(item->data(Qt::UserRole).toString());
}

void VWodeshoucang::toCancle(bool)
{
    cancel(selectedIds());
}

void VWodeshoucang::cancel(const QStringList &fileids)
{
    if (fileids.isEmpty())
        return;
    const QString question = QStringLiteral("确认对选中的%1项取消收藏？").arg(fileids.size());
    confirm(QStringLiteral("VPrompt_quxiaoshoucang"), question, [this, fileids] {
        emit VGlobalConnect::instance()->signalLayer_waiting(QStringLiteral("取消收藏中，请稍后"), false);
        send(Api::favourite_del, Api::params_favourite_del(fileids), QJsonObject(),
             [this](const QJsonObject &re) { slotGetWpResult(re); });
    });
}

void VWodeshoucang::slotGetWpResult(const QJsonObject &re)
{
    VGlobalConnect *hub = VGlobalConnect::instance();
    if (Api::instance()->checkCode(re, false) != 0) {
        const QString msg = Api::getMsg(re);
        emit hub->signalLayer_err(msg.isEmpty() ? QStringLiteral("取消收藏失败") : msg, false);
        emit signalCancelled(false);
        return;
    }
    emit hub->signalLayer_success(QStringLiteral("取消收藏成功"), false);
    getFileList();
    emit signalCancelled(true);
}
