#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the client hands to the updater beside "addr.txt": the verified files
// waiting in the update folder (with the digests they were verified with),
// the verified deletions, and how to start the client again.
struct VUpdateManifest
{
    struct File
    {
        QString name;      // in the update folder and in the program folder
        QString md5;       // lower-case hex, as the description published it
        QString sha256;    // lower-case hex, taken when the MD5 matched
    };

    QString program;       // full path of the program file (also in addr.txt)
    qint64 pid = 0;        // the client process the updater waits for
    QStringList arguments; // the client's arguments, for the restart
    QString version;       // the version being installed (for the log)
    QList<File> files;
    QStringList deleteFiles; // relative to the program folder

    QByteArray toJson() const;
    // Reads and re-checks every name and path; false with *error set when
    // anything is missing or unsafe.
    static bool fromJson(const QByteArray &json, VUpdateManifest *out, QString *error);

    // Fixed names inside the program folder.
    static QString updateFolderName();  // "AutoUpdate"
    static QString updaterFileName();   // "OrvelTool" ("OrvelTool.exe" on Windows)
    static QString addrFileName();      // "addr.txt"
    static QString fileName();          // "install.json"
    static QString lockFileName();      // "OrvelTool.lock"
    static QString logFileName();       // "update.log"
    static QString backupFolderName();  // "backup"
    // Present in the program folder when the package manager owns the files.
    static QString packagedMarkerName(); // "installed-by-package"

    // MD5 and SHA-256 of a file in one pass, lower-case hex; false when it
    // cannot be read.
    static bool hashFile(const QString &path, QString *md5, QString *sha256);
};
