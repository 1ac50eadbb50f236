#include "wodelianjie/vwodelianjie.h"

#include "VWidgets/vgrid.h"
#include "VWidgets/vgrid_head_item.h"

#include "lists/vpagedlist.h"
#include "transfer/vglobalconnect.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QJsonArray>
#include <QPushButton>

VWodelianjie::VWodelianjie(QWidget *parent) : VListPage(QStringLiteral("VWodelianjie"), QStringLiteral("我的链接"), parent)
{
    m_cancel = addTopButton(QStringLiteral("取消链接"), QStringLiteral("pushButton_cancel"),
                            QStringLiteral(":/images/png/lianjie.png"));
    m_cancel->setEnabled(false);
    topBar()->addStretch(1);
    topBar()->addWidget(paneButton());
    VGrid *g = grid();
    VGrid_head_item *name = g->addColumn(QStringLiteral("文件名"), true, 100, 0);
    g->addColumn(QStringLiteral("有效期"), true, 140, 140);
    g->addColumn(QStringLiteral("下载次数"), true, 100, 100);
    g->addColumn(QStringLiteral("路径"), false, 200, 220, true);
    name->setActive(true);
    setModel(new VPagedList({{QStringLiteral("filename"), false},
                             {QStringLiteral("validity"), false},
                             {QStringLiteral("downloads"), true}},
                            this));
    orderTabs();
    connect(m_cancel, &QPushButton::clicked, this, [] {
        emit VGlobalConnect::instance()->signalLayer_err(QStringLiteral("链接分享暂未开放"), false);
    });
    model()->clear();
}

void VWodelianjie::setLinks(const QList<VWodelianjie_item::Link> &links)
{
    QJsonArray arr;
    for (const VWodelianjie_item::Link &l : links)
        arr.append(QJsonObject{{QStringLiteral("id"), l.id},
                               {QStringLiteral("filename"), l.filename},
                               {QStringLiteral("fileext"), l.fileext},
                               {QStringLiteral("isdir"), l.isdir},
                               {QStringLiteral("validity"), l.validity},
                               {QStringLiteral("downloads"), l.downloads},
                               {QStringLiteral("path"), l.path}});
    model()->setItems(arr);
}

QWidget *VWodelianjie::createRow(const QJsonObject &o, QListWidgetItem *listItem)
{
    VWodelianjie_item::Link l;
    l.id = o.value(QStringLiteral("id")).toString();
    l.filename = o.value(QStringLiteral("filename")).toString();
    l.fileext = o.value(QStringLiteral("fileext")).toString();
    l.isdir = o.value(QStringLiteral("isdir")).toBool();
    l.validity = o.value(QStringLiteral("validity")).toString();
    l.downloads = o.value(QStringLiteral("downloads")).toInt();
    l.path = o.value(QStringLiteral("path")).toString();
    return new VWodelianjie_item(l, listItem, listWidget());
}

QString VWodelianjie::idOf(const QJsonObject &item) const
{
    return item.value(QStringLiteral("id")).toString();
}

void VWodelianjie::selectionChanged(const QStringList &ids)
{
    VListPage::selectionChanged(ids);
    m_cancel->setEnabled(!ids.isEmpty());
    emit signalSelectedCount(ids.size());
}
