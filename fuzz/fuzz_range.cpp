// Range headers: the Content-Range a download server answers a segment
// with, and the Range the stand-in service reads (the first 8 bytes give the
// file size).
#include "byterange.h"
#include "fuzzcheck.h"
#include "transfer/vhttpparse.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), int(size));
    const ContentRange cr = parseContentRange(raw);
    if (cr.ok && !cr.unsatisfied)
        FUZZ_CHECK(cr.first >= 0 && cr.first <= cr.last && cr.last < cr.total);
    if (cr.ok && cr.unsatisfied)
        FUZZ_CHECK(cr.total >= 0);

    if (size < 8)
        return 0;
    uint64_t bits = 0;
    std::memcpy(&bits, data, 8);
    const qint64 fileSize = qint64(bits % (uint64_t(1) << 50)); // up to a petabyte
    const std::string header(reinterpret_cast<const char *>(data) + 8, size - 8);
    qint64 from = -1, to = -1;
    bool ranged = true;
    const bool ok = parseRangeHeader(header, fileSize, &from, &to, &ranged);
    if (ok && ranged)
        FUZZ_CHECK(from >= 0 && from <= to && to < fileSize);
    return 0;
}
