// A Content-Disposition value from a download server, and the cleaning every
// server name goes through before it names a local file.
#include "fuzzcheck.h"
#include "utils/vfilename.h"
#include "transfer/vhttpparse.h"

#include <cstdint>

static void checkSafe(const QString &name)
{
    if (name.isEmpty())
        return;
    FUZZ_CHECK(name != QLatin1String(".") && name != QLatin1String(".."));
    FUZZ_CHECK(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
    for (const QChar c : name)
        FUZZ_CHECK(c.unicode() >= 0xa0 || (c.unicode() >= 0x20 && c.unicode() < 0x7f));
    for (const QChar c : QStringLiteral(":*?\"<>|"))
        FUZZ_CHECK(!name.contains(c));
    FUZZ_CHECK(name == name.trimmed() && !name.endsWith(QLatin1Char('.')));
    FUZZ_CHECK(cleanFileName(name) == name); // cleaning twice changes nothing
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray value(reinterpret_cast<const char *>(data), int(size));
    checkSafe(fileNameFromDisposition(value));
    checkSafe(cleanFileName(QString::fromUtf8(value)));
    return 0;
}
