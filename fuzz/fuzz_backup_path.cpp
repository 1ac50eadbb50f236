// A server path to its backup file: whatever the server names, the result is
// empty or a clean path strictly under the backup folder, each of its names
// as the one cleaning of server names leaves it.
#include "backup/vbackuppath.h"
#include "fuzzcheck.h"
#include "utils/vfilename.h"
#include "transfer/vhttpparse.h"

#include <QDir>
#include <QStringList>

#include <cstdint>

static void check(const QString &serverPath)
{
    static const QString root = QStringLiteral("/srv/backup root");
    const QString got =
        VBackupPath::localTarget(root, QStringLiteral("1001"), QStringLiteral("sharedisk"), serverPath);
    if (got.isEmpty())
        return;
    FUZZ_CHECK(got.startsWith(root + QLatin1Char('/')) && got.size() > root.size() + 1);
    FUZZ_CHECK(QDir::cleanPath(got) == got);
    FUZZ_CHECK(!got.contains(QLatin1Char('\\')) && !got.contains(QChar(0)));
    for (const QString &name : got.mid(root.size() + 1).split(QLatin1Char('/'))) {
        FUZZ_CHECK(!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String(".."));
        FUZZ_CHECK(cleanFileName(name) == name);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    check(text);
    check(QStringLiteral("/1001/sharedisk/") + text);
    return 0;
}
