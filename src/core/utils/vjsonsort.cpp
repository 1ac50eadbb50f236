#include "utils/vjsonsort.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>

#include <unicode/ucol.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

// Why not QCollator::sortKey: each key is a separate heap object compared
// through two pointers, which makes the comparison phase of a 100 000-entry
// sort cache-bound. Here the same ICU sort keys live in one arena and every
// entry carries an 8-byte big-endian prefix, so most comparisons are one
// integer compare.

namespace {

struct CollatorDeleter
{
    void operator()(UCollator *c) const { ucol_close(c); }
};

UCollator *threadCollator()
{
    // ICU collators are cheap to use but not to open; one per thread.
    static thread_local std::unique_ptr<UCollator, CollatorDeleter> coll;
    static thread_local QString openedFor;
    const QString name = VJsonSort::collationLocale();
    if (!coll || openedFor != name) {
        UErrorCode status = U_ZERO_ERROR;
        coll.reset(ucol_open(name.toLatin1().constData(), &status));
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            coll.reset(ucol_open("", &status));
        }
        if (coll) {
            status = U_ZERO_ERROR;
            ucol_setAttribute(coll.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
        }
        openedFor = name;
    }
    return coll.get();
}

// One column of prepared keys.
struct Column
{
    bool numeric = false;
    bool descending = false;
    std::vector<uint64_t> prefix;  // order-preserving
    std::vector<uint32_t> offset;  // text: start of the key in arena
    std::vector<uint32_t> length;  // text: key bytes (terminating zero included)
    std::vector<uint8_t> arena;
};

uint64_t orderedBits(double d)
{
    if (std::isnan(d) || d == 0.0)
        d = 0.0; // NaN and -0 sort as 0
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits & 0x8000000000000000ULL) ? ~bits : (bits | 0x8000000000000000ULL);
}

double numberOf(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Double:
        return v.toDouble();
    case QJsonValue::Bool:
        return v.toBool() ? 1.0 : 0.0;
    case QJsonValue::String: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0; // empty or non-numeric text counts as 0
    }
    default:
        return 0.0;
    }
}

QString textOf(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Double:
        return QString::number(v.toDouble(), 'g', 17);
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString(); // missing key: empty
    }
}

void addText(Column &c, const QString &s, UCollator *coll)
{
    const size_t at = c.arena.size();
    size_t room = 16 + static_cast<size_t>(s.size()) * 4;
    c.arena.resize(at + room);
    int32_t n = coll ? ucol_getSortKey(coll, reinterpret_cast<const UChar *>(s.utf16()), s.size(),
                                       c.arena.data() + at, static_cast<int32_t>(room))
                     : 0;
    if (n > static_cast<int32_t>(room)) {
        room = static_cast<size_t>(n);
        c.arena.resize(at + room);
        n = ucol_getSortKey(coll, reinterpret_cast<const UChar *>(s.utf16()), s.size(), c.arena.data() + at,
                            static_cast<int32_t>(room));
    }
    if (n <= 0) {
        // No collator: a zero-length key (everything compares equal).
        c.arena.resize(at + 1);
        c.arena[at] = 0;
        n = 1;
    }
    c.arena.resize(at + static_cast<size_t>(n));
    uint64_t p = 0;
    for (int i = 0; i < 8; ++i)
        p = (p << 8) | (i < n ? c.arena[at + static_cast<size_t>(i)] : 0);
    c.prefix.push_back(p);
    c.offset.push_back(static_cast<uint32_t>(at));
    c.length.push_back(static_cast<uint32_t>(n));
}

// Keys of the elements [from, to) of the array.
std::vector<Column> buildRange(const QJsonArray &array, const std::vector<VJsonSort::Key> &keys, int from, int to)
{
    const size_t n = static_cast<size_t>(to - from);
    std::vector<Column> cols(keys.size());
    UCollator *coll = nullptr;
    for (size_t k = 0; k < keys.size(); ++k) {
        cols[k].numeric = keys[k].numeric;
        cols[k].descending = keys[k].descending;
        cols[k].prefix.reserve(n);
        if (!keys[k].numeric) {
            if (!coll)
                coll = threadCollator();
            cols[k].offset.reserve(n);
            cols[k].length.reserve(n);
            cols[k].arena.reserve(n * 24);
        }
    }
    // One pass over the elements for all keys.
    for (int i = from; i < to; ++i) {
        const QJsonObject obj = array.at(i).toObject();
        for (size_t k = 0; k < keys.size(); ++k) {
            const QJsonValue v = obj.value(keys[k].name);
            if (cols[k].numeric)
                cols[k].prefix.push_back(orderedBits(numberOf(v)));
            else
                addText(cols[k], textOf(v), coll);
        }
    }
    return cols;
}

void appendColumns(std::vector<Column> &into, const std::vector<Column> &more)
{
    for (size_t k = 0; k < into.size(); ++k) {
        Column &c = into[k];
        const Column &m = more[k];
        c.prefix.insert(c.prefix.end(), m.prefix.begin(), m.prefix.end());
        if (c.numeric)
            continue;
        const uint32_t base = static_cast<uint32_t>(c.arena.size());
        c.arena.insert(c.arena.end(), m.arena.begin(), m.arena.end());
        for (uint32_t off : m.offset)
            c.offset.push_back(base + off);
        c.length.insert(c.length.end(), m.length.begin(), m.length.end());
    }
}

// Reading the keys out of the JSON objects is the slowest step; large lists
// are split between two threads (read-only access to the shared array).
std::vector<Column> buildColumns(const QJsonArray &array, const std::vector<VJsonSort::Key> &keys)
{
    const int n = array.size();
    if (n < 20000 || std::thread::hardware_concurrency() < 2)
        return buildRange(array, keys, 0, n);
    const int half = n / 2;
    std::vector<Column> second;
    std::thread helper([&] { second = buildRange(array, keys, half, n); });
    std::vector<Column> first = buildRange(array, keys, 0, half);
    helper.join();
    appendColumns(first, second);
    return first;
}

// The sort moves compact entries: the key prefixes inline, the index to reach
// the rest of a text key.
struct Entry
{
    uint64_t p[2];
    uint32_t idx;
};

inline int tailCompare(const Column &c, uint32_t a, uint32_t b)
{
    if (c.numeric)
        return 0;
    const uint32_t la = c.length[a], lb = c.length[b];
    if (la > 8 && lb > 8) {
        const int r = std::memcmp(c.arena.data() + c.offset[a] + 8, c.arena.data() + c.offset[b] + 8,
                                  std::min(la, lb) - 8);
        if (r != 0)
            return r;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

QJsonArray sortBy(const QJsonArray &array, const std::vector<VJsonSort::Key> &keys)
{
    if (array.size() < 2)
        return array;
    const std::vector<Column> cols = buildColumns(array, keys);
    const size_t ncols = std::min<size_t>(cols.size(), 2);
    std::vector<Entry> entries(static_cast<size_t>(array.size()));
    for (uint32_t i = 0; i < entries.size(); ++i) {
        entries[i].idx = i;
        for (size_t k = 0; k < 2; ++k)
            entries[i].p[k] = k < ncols ? cols[k].prefix[i] : 0;
    }
    std::stable_sort(entries.begin(), entries.end(), [&cols, ncols](const Entry &a, const Entry &b) {
        for (size_t k = 0; k < ncols; ++k) {
            int r;
            if (a.p[k] != b.p[k])
                r = a.p[k] < b.p[k] ? -1 : 1;
            else
                r = tailCompare(cols[k], a.idx, b.idx);
            if (r != 0)
                return cols[k].descending ? r > 0 : r < 0;
        }
        return false;
    });
    QJsonArray out;
    for (const Entry &e : entries)
        out.append(array.at(static_cast<int>(e.idx)));
    return out;
}

} // namespace

QString VJsonSort::collationLocale()
{
    const QLocale sys = QLocale::system();
    if (sys.language() == QLocale::C)
        return QStringLiteral("en_US");
    return sys.name();
}

QJsonArray VJsonSort::sort(const QJsonArray &array, const Key &first)
{
    return sortBy(array, {first});
}

QJsonArray VJsonSort::sort(const QJsonArray &array, const Key &first, const Key &second)
{
    return sortBy(array, {first, second});
}
