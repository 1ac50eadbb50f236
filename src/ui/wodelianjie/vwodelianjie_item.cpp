#include "wodelianjie/vwodelianjie_item.h"

#include "disk/vfilekind.h"

#include <QLabel>

VWodelianjie_item::VWodelianjie_item(const Link &link, QListWidgetItem *item, QWidget *parent)
    : VListRow(link.id, link.filename, item, parent), m_link(link)
{
    setObjectName(QStringLiteral("VWodelianjie_item"));
    addCheckBox();
    addNameCell(VFileKind::iconPath(link.fileext, link.isdir, false), false);
    addCell(link.validity, "label_time");
    addCell(QString::number(link.downloads), "label_count");
    addCell(link.path, "label_path");
}
