#pragma once

#include <QMetaType>
#include <QString>

// What the rename editor hands on: the item's path and its new name.
class M_renameinfo
{
public:
    QString path;
    QString newname;
};

Q_DECLARE_METATYPE(M_renameinfo)
