// Reply text as the service (or a stored copy) gives it.
#include "fuzzcheck.h"
#include "utils/vjsonrepair.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QJsonDocument doc = parseRepairedJson(text);
    FUZZ_CHECK(!(doc.isObject() && doc.isArray()));
    // What was read can be written and read again.
    if (doc.isObject() || doc.isArray()) {
        const QByteArray out = doc.toJson(QJsonDocument::Compact);
        FUZZ_CHECK(!QJsonDocument::fromJson(out).isNull());
    }
    return 0;
}
