#pragma once

#include <QMetaType>
#include <QString>

class QSqlRecord;

// One transfer: a row of the transfer log (table "log") plus runtime state.
class M_db_file
{
public:
    enum enum_uptype { uptype_none = 0, uptype_replace = 1, uptype_rename = 2 };

    M_db_file() = default;
    // Column by column from a row of the "log" table.
    explicit M_db_file(const QSqlRecord &record);

    int id = 0;
    QString fileid;
    QString filename;
    int type = 0;   // 1 download, 2 upload
    int status = 0; // 99 done
    QString localpath;
    QString serverpath;
    QString error;
    QString md5; // SHA-256 of the local file, lower-case hex
    qint64 filesize = 0;
    qint64 addtime = 0;  // ms since the epoch
    qint64 donetime = 0; // ms since the epoch
    QString evtid;
    int block = 0;
    QString upserver;
    int ismc = 0;
    bool isedit = false;

    // Runtime only, not stored.
    qint64 donesize = 0;
    enum_uptype uptype = uptype_none;
    bool iscancel = false;   // the user cancelled at the exists prompt
    bool isrestored = false; // loaded from the log at start
};

Q_DECLARE_METATYPE(M_db_file)
Q_DECLARE_METATYPE(M_db_file::enum_uptype)
