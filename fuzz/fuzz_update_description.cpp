// The update description as served, and the install list the updater reads
// back: whatever they hold, what is accepted names only plain files and
// paths that stay inside the program folder.
#include "fuzzcheck.h"
#include "updater/vupdatedescription.h"
#include "updater/vupdatemanifest.h"

#include <QByteArray>
#include <cstdint>

// Qt 5.15's JSON parser leaks the earlier value of a key that appears twice
// with an array or object value ({"a":[1],"a":[2]}); the stacks have no frame
// of ours to tell them apart by, so leaks from inside Qt Core are not counted.
// This code holds nothing but Qt values.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt5Core.so\n";
}

static void checkPath(const QString &path)
{
    FUZZ_CHECK(VUpdateDescription::cleanRelativePath(path) == path); // cleaning twice changes nothing
    FUZZ_CHECK(!path.startsWith(QLatin1Char('/')) && !path.contains(QLatin1Char('\\')));
    for (const QString &seg : path.split(QLatin1Char('/')))
        FUZZ_CHECK(VUpdateDescription::isPlainName(seg) && seg != QLatin1String(".."));
    FUZZ_CHECK(!path.startsWith(QLatin1String("autoupdate"), Qt::CaseInsensitive));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), int(size));
    const VUpdateDescription d = VUpdateDescription::parse(json, QStringLiteral("OrvelNetdisk"));
    if (d.isUsable()) {
        FUZZ_CHECK(VUpdateDescription::isVersion(d.version));
        for (const VUpdateFileEntry &f : d.files) {
            FUZZ_CHECK(VUpdateDescription::isPlainName(f.name) && !VUpdateDescription::isReservedName(f.name));
            FUZZ_CHECK(VUpdateDescription::isPlainName(f.installName));
            FUZZ_CHECK(!VUpdateDescription::isReservedName(f.installName));
            FUZZ_CHECK(VUpdateDescription::isMd5(f.md5) && f.md5 == f.md5.toLower());
        }
        for (const QString &p : d.deleteFiles) {
            checkPath(p);
            FUZZ_CHECK(p.compare(QLatin1String("OrvelNetdisk"), Qt::CaseInsensitive) != 0);
        }
    }
    VUpdateManifest m;
    QString error;
    if (VUpdateManifest::fromJson(json, &m, &error)) {
        for (const VUpdateManifest::File &f : m.files)
            FUZZ_CHECK(VUpdateDescription::isPlainName(f.name) && !VUpdateDescription::isReservedName(f.name));
        for (const QString &p : m.deleteFiles)
            checkPath(p);
    }
    return 0;
}
