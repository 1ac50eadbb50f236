#include "utils/vfilename.h"

QString cleanFileName(const QString &raw)
{
    QString name = raw;
    const int cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    QString out;
    out.reserve(name.size());
    for (const QChar c : qAsConst(name)) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || c == QLatin1Char(':') || c == QLatin1Char('*') || c == QLatin1Char('?')
            || c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|'))
            continue;
        out.append(c);
    }
    for (out = out.trimmed(); out.endsWith(QLatin1Char('.')); out = out.chopped(1).trimmed()) {
    }
    if (out == QLatin1String(".") || out == QLatin1String(".."))
        return QString();
    return out;
}
