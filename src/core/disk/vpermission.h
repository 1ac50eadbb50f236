#pragma once

#include <QList>
#include <QString>

#include "records/m_fileinfo.h"

// Permission codes of the disk: text of "0"/"1" read from the right as a bit
// mask (the last character is bit value 1). Every character other than "0"
// counts as set.
namespace VPermission {

enum Bit {
    Preview = 1,
    Create = 2,
    Rename = 4,
    Delete = 8,
    Upload = 16,
    Download = 32,
    Share = 64,
    Move = 128,
    Copy = 256,
};

// The operations that need a selection.
constexpr int SelectionBits = Download | Move | Copy | Share | Delete;
constexpr int AllBits = 511;

int mask(const QString &code);
// Allowed when all the bits are set.
bool allows(const QString &code, int bits);
// An item's own right: isadmin grants everything.
bool itemAllows(const M_fileinfo &item, int bits);

// What the toolbar offers in a folder for a selection, as a mask of Bit
// values: the folder's rights (all when it is isadmin); the selection
// operations need a selection and every selected item with a code of its
// own must allow them too.
int toolbar(const M_fileinfo &folder, const QList<M_fileinfo> &selection);

} // namespace VPermission
