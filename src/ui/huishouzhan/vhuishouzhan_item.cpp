#include "huishouzhan/vhuishouzhan_item.h"

#include "disk/vfilekind.h"
#include "lists/vlistrules.h"
#include "utils/vutils.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

VHuishouzhan_item::VHuishouzhan_item(const M_fileinfo &info, QListWidgetItem *item, QWidget *parent)
    : VListRow(info.id, info.filename, item, parent), m_info(info)
{
    setObjectName(QStringLiteral("VHuishouzhan_item"));
    setAccessibleDescription(info.isdir ? QStringLiteral("文件夹") : QStringLiteral("文件"));
    addCheckBox();
    addNameCell(VFileKind::iconPath(info.fileext, info.isdir, false), false);
    m_restore = addHoverButton(QStringLiteral(":/images/icon/huanyuan_row.png"), QStringLiteral("还原"),
                               QStringLiteral("toolButton_huanyuan"));
    m_delete = addHoverButton(QStringLiteral(":/images/icon/qingkong_row.png"), QStringLiteral("彻底删除"),
                              QStringLiteral("toolButton_qingkong"));
    const QDateTime t = VUtils::parseDateTime(info.deltime);
    addCell(t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : info.deltime, "label_time");
    addCell(info.isdir ? QStringLiteral("-") : VUtils::formatSize(info.filesize), "label_size");
    addCell(info.delusername, "label_user");
    addPathLink(VListRules::linkText(info.bankuai, info.fullpath), VListRules::containingFolder(info.fullpath));
    connect(m_restore, &QToolButton::clicked, this, &VHuishouzhan_item::on_toolButton_huanyuan_clicked);
    connect(m_delete, &QToolButton::clicked, this, &VHuishouzhan_item::on_toolButton_qingkong_clicked);
}

void VHuishouzhan_item::on_toolButton_huanyuan_clicked()
{
    emit signalRestore(m_info.id);
}

void VHuishouzhan_item::on_toolButton_qingkong_clicked()
{
    emit signalDelete(m_info.id);
}
