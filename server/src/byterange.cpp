#include "byterange.h"

#include <QString>

#include <algorithm>

// Parses "bytes=a-b", "bytes=a-" and "bytes=-n". Answers false for a header
// that cannot be satisfied; *ranged stays false without a usable header.
bool parseRangeHeader(const std::string &header, qint64 size, qint64 *from, qint64 *to, bool *ranged)
{
    *ranged = false;
    if (header.empty())
        return true;
    const QString h = QString::fromStdString(header).trimmed();
    if (!h.startsWith(QLatin1String("bytes="), Qt::CaseInsensitive))
        return true; // unknown unit: ignore as the standard allows
    const QString first = h.mid(6).section(QLatin1Char(','), 0, 0).trimmed();
    const int dash = first.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return false;
    const QString a = first.left(dash).trimmed(), b = first.mid(dash + 1).trimmed();
    bool okA = false, okB = false;
    *ranged = true;
    if (a.isEmpty()) {
        const qint64 n = b.toLongLong(&okB);
        if (!okB || n <= 0 || size == 0)
            return false;
        *from = std::max<qint64>(0, size - n);
        *to = size - 1;
        return true;
    }
    *from = a.toLongLong(&okA);
    if (!okA || *from < 0 || *from >= size)
        return false;
    if (b.isEmpty()) {
        *to = size - 1;
        return true;
    }
    *to = b.toLongLong(&okB);
    if (!okB || *to < *from)
        return false;
    *to = std::min(*to, size - 1);
    return true;
}
