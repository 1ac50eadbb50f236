#include "disk/vpermission.h"

namespace VPermission {

int mask(const QString &code)
{
    int m = 0;
    const int n = code.size();
    for (int i = 0; i < n && i < 30; ++i) {
        if (code.at(n - 1 - i) != QLatin1Char('0'))
            m |= 1 << i;
    }
    return m;
}

bool allows(const QString &code, int bits)
{
    return (mask(code) & bits) == bits;
}

bool itemAllows(const M_fileinfo &item, int bits)
{
    return item.isadmin || allows(item.permissioncode, bits);
}

int toolbar(const M_fileinfo &folder, const QList<M_fileinfo> &selection)
{
    int m = folder.isadmin ? AllBits : (mask(folder.permissioncode) & AllBits);
    if (selection.isEmpty())
        return m & ~SelectionBits;
    for (const M_fileinfo &item : selection) {
        if ((m & SelectionBits) == 0)
            break;
        if (item.permissioncode.isEmpty())
            continue;
        const int own = mask(item.permissioncode);
        m &= ~(SelectionBits & ~own);
    }
    return m;
}

} // namespace VPermission
