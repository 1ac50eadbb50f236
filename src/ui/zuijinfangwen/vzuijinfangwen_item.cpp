#include "zuijinfangwen/vzuijinfangwen_item.h"

#include "disk/vfilekind.h"
#include "lists/vlistrules.h"
#include "records/m_api_act.h"
#include "utils/vutils.h"

#include <QPushButton>
#include <QToolButton>

VZuijinfangwen_item::VZuijinfangwen_item(const M_api_visit &info, const QString &rowId, QListWidgetItem *item,
                                         QWidget *parent)
    : VListRow(rowId, info.filename, item, parent), m_info(info)
{
    setObjectName(QStringLiteral("VZuijinfangwen_item"));
    addCheckBox(false);
    addNameCell(VFileKind::iconPath(info.fileext, info.isdir, false), info.status == 1);
    m_download = addHoverButton(QStringLiteral(":/images/icon/xiazai_row.png"), QStringLiteral("下载"),
                                QStringLiteral("toolButton"));
    m_more = addHoverButton(QStringLiteral(":/images/icon/more.png"), QStringLiteral("更多"),
                            QStringLiteral("toolButton_2"));
    const QDateTime t = VUtils::parseDateTime(info.visittime);
    addCell(t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : info.visittime, "label_time");
    addCell(info.ip, "label_ip");
    addCell(M_api_act::clientName(info.client), "label_client");
    addPathLink(VListRules::linkText(info.bankuai, info.fullpath), VListRules::containingFolder(info.fullpath));
    connect(m_download, &QToolButton::clicked, this, &VZuijinfangwen_item::on_toolButton_clicked);
    connect(m_more, &QToolButton::clicked, this, &VZuijinfangwen_item::slotContextMenu);
}

void VZuijinfangwen_item::on_toolButton_clicked(bool)
{
    emit signalDownload(id());
}

void VZuijinfangwen_item::slotContextMenu()
{
    emit signalMore(id(), m_more->mapToGlobal(QPoint(0, m_more->height())));
}
