#include "wodeshoucang/vwodeshoucang_item.h"

#include "disk/vfilekind.h"
#include "lists/vlistrules.h"
#include "utils/vutils.h"

#include <QPushButton>
#include <QToolButton>

VWodeshoucang_item::VWodeshoucang_item(const M_api_fav_info &info, QListWidgetItem *item, QWidget *parent)
    : VListRow(info.fileid, info.filename, item, parent), m_info(info)
{
    setObjectName(QStringLiteral("VWodeshoucang_item"));
    addCheckBox();
    addNameCell(VFileKind::iconPath(info.fileext, info.isdir, false), info.status == 1);
    m_cancel = addHoverButton(QStringLiteral(":/images/icon/quxiaoshoucang.png"), QStringLiteral("取消收藏"),
                              QStringLiteral("toolButton"));
    const QDateTime t = VUtils::parseDateTime(info.addtime);
    addCell(t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : info.addtime, "label_time");
    addPathLink(VListRules::linkText(QString(), info.filepath), VListRules::containingFolder(info.filepath));
    connect(m_cancel, &QToolButton::clicked, this, &VWodeshoucang_item::on_toolButton_clicked);
}

void VWodeshoucang_item::on_toolButton_clicked()
{
    emit signalCancel(m_info.fileid);
}
