#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "records/m_db_file.h"

// What a drop (or the upload choosers) hands in: local files and folders to
// go into one server folder. The walk turns them into the folders to create
// (one AddDirs act) and the upload records, and is pure file-system work, so
// it runs on the global pool.
class VDropWalk
{
public:
    struct Plan
    {
        QString target;        // server folder the drop went to
        QStringList dirs;      // server folders to create, parents first
        QList<M_db_file> files; // upload records (type 2), in walk order
        int skipped = 0;       // entries that are neither folder nor regular file, or unreadable
    };

    // Local paths of dropped URLs: local files only, read with toLocalFile
    // (which keeps the leading "/" and decodes %-escapes).
    static QStringList localPaths(const QList<QUrl> &urls);

    // Walks the local paths. A dropped folder keeps its own name under the
    // target (/x/photos -> target/photos/...), empty folders included; names
    // keep their case; only regular files become records; a folder reached
    // twice (a symlink back up the tree) is walked once.
    static Plan walk(const QStringList &localPaths, const QString &target);

    // The records whose server folder exists now: files directly in the
    // target, and files in folders the AddDirs act reported as created
    // (server paths, compared without regard to case).
    static QList<M_db_file> filesInCreated(const Plan &plan, const QStringList &createdDirs);

    // The upload record of one local file for a server folder.
    static M_db_file uploadRecord(const QString &localPath, const QString &name, qint64 size,
                                  const QString &serverFolder);
};
