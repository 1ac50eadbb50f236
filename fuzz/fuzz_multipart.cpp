// The stand-in upload server's multipart reader. The first byte gives the
// boundary's length and the second the size of the pieces the body arrives
// in; the body read whole and read in pieces must give the same parts.
#include "fuzzcheck.h"
#include "multipart.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Result
{
    std::vector<std::string> events; // "name|filename" then the part's bytes
    bool failed = false;
    bool finished = false;
};

Result parse(const std::string &boundary, const std::string &body, size_t piece)
{
    Result r;
    MultipartParser p(
        boundary, [&](const std::string &name, const std::string &filename) { r.events.push_back(name + "|" + filename); r.events.emplace_back(); },
        [&](const char *d, size_t n) {
            FUZZ_CHECK(!r.events.empty());
            r.events.back().append(d, n);
        });
    for (size_t at = 0; at < body.size(); at += piece)
        if (!p.feed(body.data() + at, std::min(piece, body.size() - at)))
            break;
    r.failed = p.failed();
    r.finished = p.finished();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t blen = std::min<size_t>(data[0] % 71, size - 2);
    const size_t piece = 1 + data[1] % 17;
    const std::string boundary(reinterpret_cast<const char *>(data) + 2, blen);
    const std::string body(reinterpret_cast<const char *>(data) + 2 + blen, size - 2 - blen);
    const Result whole = parse(boundary, body, body.size() ? body.size() : 1);
    const Result pieces = parse(boundary, body, piece);
    // A header block over the reader's limit fails only when it arrives in
    // pieces; otherwise both readings agree.
    if (!whole.failed && !pieces.failed) {
        FUZZ_CHECK(whole.finished == pieces.finished);
        FUZZ_CHECK(whole.events == pieces.events);
    }
    if (!whole.failed && pieces.failed)
        FUZZ_CHECK(body.size() > 16384);
    (void)MultipartParser::boundaryOf(body);
    return 0;
}
