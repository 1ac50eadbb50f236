#pragma once

#include <QPixmap>
#include <QString>

// The small file-kind icons of the backup log rows.
namespace VBendibeifenIcons {
QPixmap fileIcon(const QString &ext, bool isdir);
}
