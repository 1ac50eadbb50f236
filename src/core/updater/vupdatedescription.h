#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One file of a published update: where it is fetched from, what it must
// hash to and the name it is installed under in the program folder.
struct VUpdateFileEntry
{
    QString url;         // "url": base address
    QString filepath;    // "filepath": path below that address
    QString md5;         // "md5": expected MD5, lower-case hex
    QString rename;      // "rename": optional new name
    QString source;      // url + "/" + filepath: what is downloaded
    QString name;        // file name the download is stored under
    QString installName; // rename, or name when there is none
};

// The update description "update.json", read and checked before anything is
// downloaded or deleted. Every name and path in it comes from the network and
// is treated as hostile: one bad entry makes the whole description unusable.
class VUpdateDescription
{
public:
    // programName, when given, is the running program's file name: a
    // description that would delete it is refused.
    static VUpdateDescription parse(const QJsonObject &o, const QString &programName = QString());
    // The raw document as served (the entry point the fuzzer drives).
    static VUpdateDescription parse(const QByteArray &json, const QString &programName = QString());

    bool hasVersion() const { return !version.isEmpty(); }
    // Usable for an update in place: a version, and every entry checked.
    bool isUsable() const { return error.isEmpty(); }

    QString version;
    QString low;
    QString memo;
    QString msg;      // "msg", or a transport failure's "Msg"
    QString platform; // optional "platform"; empty means any
    QList<VUpdateFileEntry> files;
    QStringList deleteFiles; // cleaned paths relative to the program folder
    QString error;           // why the description cannot be used, empty when it can

    // --- checks shared with the updater -------------------------------------

    // The platform name a description's "platform" is compared with.
    static QString currentPlatform();
    // A single file name: no separators, "..", ".", colon, control characters
    // or characters Windows refuses; not empty, no leading dot or trailing
    // dot/space.
    static bool isPlainName(const QString &name);
    // Names the update folder keeps for itself (the updater, its hand-over
    // and log files, the backup folder), compared without case.
    static bool isReservedName(const QString &name);
    // A path below the program folder, "/"-separated, without "..", ".",
    // empty segments, backslashes, colons or control characters, and not
    // inside the update folder; the cleaned path, or empty when refused.
    static QString cleanRelativePath(const QString &path);
    // Thirty-two hexadecimal digits (any case).
    static bool isMd5(const QString &text);

    // Versions: dot-separated decimal numbers ("1", "1.0", "1.0.12").
    // Trailing zero segments do not count: "1.0" equals "1.0.0".
    static bool isVersion(const QString &text);
    // <0, 0, >0; *ok is false (and the result 0) when either is no version.
    static int compareVersions(const QString &a, const QString &b, bool *ok = nullptr);
};
