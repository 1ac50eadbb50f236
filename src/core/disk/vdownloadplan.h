#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>

#include "records/m_db_file.h"
#include "records/m_fileinfo.h"

// Where downloads land: a file goes into the chosen local folder under its
// cleaned name (a name that cleans to nothing leaves the record without a
// local path: refused); a folder keeps its tree (local folder / folder name /
// relative path / file). Every segment passes the name cleaning, and a path
// that would still leave the chosen folder is refused.
class VDownloadPlan
{
public:
    struct Result
    {
        QList<M_db_file> files;
        int noRight = 0; // files without the download right, skipped
        int refused = 0; // paths that would leave the chosen folder
    };

    static M_db_file fileRecord(const M_fileinfo &item, const QString &localFolder);
    // children: the folder's files as "v1/wp/file/GetAllChild" lists them.
    static Result folderRecords(const M_fileinfo &folder, const QJsonArray &children, const QString &localFolder);
    // Whether path lies inside folder (both made absolute and clean).
    static bool isInside(const QString &path, const QString &folder);
};
