#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>

class QFont;
class QScriptEngine;

// Shared services: data directory, digests, formatting, paths, JSON text,
// list sorting, encryption through the crypto script, viewer addresses and a
// few system calls. The pure helpers are static and thread-safe; toEncrypt and
// toDecrypt own a script engine and belong to the GUI thread.
class VUtils : public QObject
{
    Q_OBJECT
public:
    static VUtils *instance();
    ~VUtils() override;

    // The data directory D (parent of the app config location + "/OrvelNetdisk",
    // with "(alpha)"/"(beta)" for editions -1/1).
    static QString dataDir();

    // AES-128-CBC/PKCS#7, Base64, through the crypto script. Empty or
    // meaningless text when the script is missing.
    QString toEncrypt(const QString &text);
    QString toDecrypt(const QString &text);

    // Lower-case hex digest of a file's content, read in 10 MiB chunks; empty
    // when the file cannot be read.
    static QString fileMd5(const QString &path);
    static QString fileSha256(const QString &path);

    // "-" for 0, else e.g. "1.5KB", "1000B".
    static QString formatSize(qint64 bytes);
    static QDateTime parseDateTime(const QString &text);
    static QTime secondsToTime(int seconds);

    // Parse reply or stored text ("//" removed, arrays sent as strings
    // repaired); empty object/array when the text is not one.
    static QJsonObject toJsonObject(const QString &text);
    static QJsonArray toJsonArray(const QString &text);
    static QString toJsonText(const QJsonObject &obj);
    static QString toJsonText(const QJsonArray &arr);

    // Server folder path in canonical form: leading and trailing "/", no "//",
    // lower case; "/" for empty.
    static QString normalizePath(const QString &path);
    static QString parentPath(const QString &path);
    static QString fileName(const QString &path);

    // Stable sorts of a list of objects by one key, or by two keys with the
    // second in the opposite direction. Numeric keys compare as numbers (text
    // holding a number accepted), others with the locale's collation (ICU, as
    // QCollator) in numeric mode ("file2" before "file10"). A missing key counts as empty.
    static QJsonArray sortJsonArray(const QJsonArray &array, const QString &key, bool descending,
                                    bool numeric);
    static QJsonArray sortJsonArray(const QJsonArray &array, const QString &key1, const QString &key2,
                                    bool descending, bool numeric1, bool numeric2);

    // Document-viewer page for an extension, empty when it has none.
    static QString viewerPath(const QString &extension);
    static QString downloadUrl(const QString &base, const QString &fileid, const QString &token);
    // 32 hex characters.
    static QString uuid();

    // Start with the session on or off. Returns false when it failed.
    static bool setAutoRun(const QString &name, const QString &path, bool on);
    static QString appVersion();
    // <0, 0, >0 as a is older than, equal to or newer than b.
    static int compareVersion(const QString &a, const QString &b);
    static bool killProcess(qint64 pid);
    static bool openFolder(const QString &path);
    static bool openFile(const QString &path);
    // Text shortened with "…" to fit width pixels (needs a QGuiApplication).
    static QString elide(const QString &text, int width, const QFont &font);

    // Drag-out detection: create the marker file (D/cache/orvelXXXXXX) that the
    // drag carries, and after the drop look for it; returns the folder it landed
    // in (the marker is then deleted), or empty. extraFolders are searched
    // first (tests and callers that know likely targets).
    static QString createDropMarker();
    static QString findDropFolder(const QString &markerPath, const QStringList &extraFolders = {});

    // The first name that does not exist yet: "a.pdf", "a(1).pdf", "a(2).pdf"...
    static QString freeFileName(const QString &path);

    // Extension lists of the document viewer (lower case).
    static const QStringList &excelExtensions();
    static const QStringList &oneNoteExtensions();
    static const QStringList &powerPointExtensions();
    static const QStringList &wordExtensions();
    static const QStringList &pdfExtensions();

private:
    explicit VUtils(QObject *parent = nullptr);
    QString callScript(const char *function, const QString &text);

    QString scriptText;
    QScriptEngine *engine = nullptr;
};
