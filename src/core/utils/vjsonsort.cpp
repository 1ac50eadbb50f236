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
// sort cache-bound. Here the same ICU sort keys (ICU is what QCollator runs
// on) live in one arena and every entry carries the key's first 16 bytes, so
// most comparisons are integer compares on data the sort moves anyway.

namespace {

constexpr int kTextWords = 2; // prefix words of a text key
constexpr int kMaxWords = 4;  // two keys of either kind

struct CollatorDeleter
{
    void operator()(UCollator *c) const { ucol_close(c); }
};

UCollator *threadCollator()
{
    // Collators are cheap to use but not to open, and not to be shared
    // between threads: one per thread.
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

// The prepared keys of one column.
struct Column
{
    bool numeric = false;
    bool descending = false;
    int words = 1;                 // prefix words per entry
    std::vector<uint64_t> prefix;  // words per entry, order-preserving
    std::vector<uint32_t> offset;  // text: start of the whole key in arena
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

void addText(Column &c, const QString &s, UCollator *coll, std::vector<uint8_t> &scratch)
{
    const auto *chars = reinterpret_cast<const UChar *>(s.utf16());
    int32_t n = 0;
    if (coll) {
        n = ucol_getSortKey(coll, chars, s.size(), scratch.data(), static_cast<int32_t>(scratch.size()));
        if (n > static_cast<int32_t>(scratch.size())) {
            scratch.resize(static_cast<size_t>(n));
            n = ucol_getSortKey(coll, chars, s.size(), scratch.data(), n);
        }
    }
    if (n <= 0) {
        // No collator: an empty key (everything compares equal).
        scratch[0] = 0;
        n = 1;
    }
    c.offset.push_back(static_cast<uint32_t>(c.arena.size()));
    c.length.push_back(static_cast<uint32_t>(n));
    c.arena.insert(c.arena.end(), scratch.begin(), scratch.begin() + n);
    for (int w = 0; w < kTextWords; ++w) {
        uint64_t p = 0;
        for (int i = w * 8; i < w * 8 + 8; ++i)
            p = (p << 8) | (i < n ? scratch[static_cast<size_t>(i)] : 0);
        c.prefix.push_back(p);
    }
}

// A key's value; listings repeat one key layout, so the position found in
// the previous object is tried first.
QJsonValue lookup(const QJsonObject &obj, const QString &key, int &hint)
{
    if (hint >= 0 && hint < obj.size()) {
        const auto it = obj.constBegin() + hint;
        if (it.key() == key)
            return it.value();
    }
    const auto it = obj.constFind(key);
    if (it == obj.constEnd())
        return QJsonValue(QJsonValue::Undefined);
    hint = int(it - obj.constBegin());
    return it.value();
}

// Keys of the elements [from, to) of the array.
std::vector<Column> buildRange(const QJsonArray &array, const std::vector<VJsonSort::Key> &keys, int from, int to)
{
    const size_t n = static_cast<size_t>(to - from);
    std::vector<Column> cols(keys.size());
    UCollator *coll = nullptr;
    std::vector<uint8_t> scratch(512);
    for (size_t k = 0; k < keys.size(); ++k) {
        Column &c = cols[k];
        c.numeric = keys[k].numeric;
        c.descending = keys[k].descending;
        c.words = c.numeric ? 1 : kTextWords;
        c.prefix.reserve(n * static_cast<size_t>(c.words));
        if (!c.numeric) {
            if (!coll)
                coll = threadCollator();
            c.offset.reserve(n);
            c.length.reserve(n);
            c.arena.reserve(n * 32);
        }
    }
    std::vector<int> hints(keys.size(), -1);
    // One pass over the elements for all keys.
    for (int i = from; i < to; ++i) {
        const QJsonObject obj = array.at(i).toObject();
        for (size_t k = 0; k < keys.size(); ++k) {
            const QJsonValue v = lookup(obj, keys[k].name, hints[k]);
            if (cols[k].numeric)
                cols[k].prefix.push_back(orderedBits(numberOf(v)));
            else
                addText(cols[k], textOf(v), coll, scratch);
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

inline int tailCompare(const Column &c, uint32_t a, uint32_t b)
{
    const uint32_t skip = kTextWords * 8;
    const uint32_t la = c.length[a], lb = c.length[b];
    if (la > skip && lb > skip) {
        const int r = std::memcmp(c.arena.data() + c.offset[a] + skip, c.arena.data() + c.offset[b] + skip,
                                  std::min(la, lb) - skip);
        if (r != 0)
            return r;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

// What the sort moves: the key prefixes inline (W words in all), the index to
// reach the rest. Sized to the keys, since the merge passes move entries.
template<int W>
struct Entry
{
    uint64_t w[W];
    uint32_t idx;
};

template<int W>
std::vector<uint32_t> sortedOrder(const std::vector<Column> &cols, const std::vector<int> &first, size_t n)
{
    std::vector<Entry<W>> entries(n);
    for (uint32_t i = 0; i < n; ++i) {
        Entry<W> &e = entries[i];
        e.idx = i;
        for (size_t k = 0; k < cols.size(); ++k)
            for (int w = 0; w < cols[k].words; ++w)
                e.w[first[k] + w] = cols[k].prefix[i * static_cast<size_t>(cols[k].words) + static_cast<size_t>(w)];
    }
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry<W> &a, const Entry<W> &b) {
        for (size_t k = 0; k < cols.size(); ++k) {
            const Column &c = cols[k];
            int r = 0;
            for (int w = first[k]; w < first[k] + c.words && r == 0; ++w)
                if (a.w[w] != b.w[w])
                    r = a.w[w] < b.w[w] ? -1 : 1;
            if (r == 0 && !c.numeric)
                r = tailCompare(c, a.idx, b.idx);
            if (r != 0)
                return c.descending ? r > 0 : r < 0;
        }
        return false;
    });
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = entries[i].idx;
    return order;
}

// Whether the elements a and b have equal keys in every column.
bool sameKeys(const std::vector<Column> &cols, uint32_t a, uint32_t b)
{
    for (const Column &c : cols) {
        const size_t w = static_cast<size_t>(c.words);
        for (size_t i = 0; i < w; ++i)
            if (c.prefix[a * w + i] != c.prefix[b * w + i])
                return false;
        if (!c.numeric && tailCompare(c, a, b) != 0)
            return false;
    }
    return true;
}

QJsonArray sortBy(const QJsonArray &array, const std::vector<VJsonSort::Key> &keys)
{
    if (array.size() < 2)
        return array;
    const std::vector<Column> cols = buildColumns(array, keys);
    std::vector<int> first(cols.size()); // first prefix word of each column
    int used = 0;
    for (size_t k = 0; k < cols.size(); ++k) {
        first[k] = used;
        used += cols[k].words;
    }
    const size_t n = static_cast<size_t>(array.size());
    std::vector<uint32_t> order;
    switch (used) {
    case 1: order = sortedOrder<1>(cols, first, n); break;
    case 2: order = sortedOrder<2>(cols, first, n); break;
    case 3: order = sortedOrder<3>(cols, first, n); break;
    default: order = sortedOrder<kMaxWords>(cols, first, n); break;
    }
    QJsonArray out;
    for (uint32_t i : order)
        out.append(array.at(static_cast<int>(i)));
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

QVector<QVector<int>> VJsonSort::ranks(const QJsonArray &array, const QList<Key> &keys)
{
    const size_t n = static_cast<size_t>(array.size());
    QVector<QVector<int>> out;
    if (keys.isEmpty())
        return out;
    std::vector<Key> up(keys.begin(), keys.end());
    for (Key &k : up)
        k.descending = false;
    std::vector<Column> cols = n < 2 ? std::vector<Column>() : buildColumns(array, up);
    for (size_t k = 0; k < up.size(); ++k) {
        QVector<int> r(int(n), 0);
        if (n >= 2) {
            std::vector<Column> one;
            one.push_back(std::move(cols[k]));
            const std::vector<uint32_t> order =
                one[0].numeric ? sortedOrder<1>(one, {0}, n) : sortedOrder<kTextWords>(one, {0}, n);
            int rank = 0;
            for (size_t i = 1; i < n; ++i) {
                if (!sameKeys(one, order[i - 1], order[i]))
                    ++rank;
                r[int(order[i])] = rank;
            }
        }
        out << r;
    }
    return out;
}

QJsonArray VJsonSort::sort(const QJsonArray &array, const Key &first)
{
    return sortBy(array, {first});
}

QJsonArray VJsonSort::sort(const QJsonArray &array, const Key &first, const Key &second)
{
    return sortBy(array, {first, second});
}
