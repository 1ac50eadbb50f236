// The upload server's answer read off the socket: any bytes, complete or not.
#include "fuzzcheck.h"
#include "transfer/vhttpparse.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    for (bool atEof : {false, true}) {
        QByteArray buffer = input;
        HttpResponse r;
        const bool done = parseHttpResponse(buffer, atEof, r);
        FUZZ_CHECK(buffer.size() <= input.size());
        FUZZ_CHECK(!done || r.body.size() <= buffer.size());
        if (done && !atEof) {
            // A whole answer stays the same answer whatever follows it.
            QByteArray more = buffer + QByteArray("HTTP/1.1 200 OK\r\n\r\nnext");
            HttpResponse again;
            FUZZ_CHECK(parseHttpResponse(more, false, again));
            FUZZ_CHECK(again.status == r.status);
            FUZZ_CHECK(again.body == r.body);
        }
    }
    return 0;
}
