#pragma once

#include <QMetaType>
#include <QString>

class QSqlRecord;

// A row of the backup history.
class M_db_synhistory
{
public:
    M_db_synhistory() = default;
    explicit M_db_synhistory(const QSqlRecord &record);

    QString id;
    qint64 dotime = 0; // stored as text
    QString addusername;
    QString localpath;
    QString serverpath;
    QString fileid;
    int dotype = 0;
    QString owner;
    QString pid;
    int isdir = 0;
    QString fileext;
    qint64 filesize = 0;
    QString filename;
    QString md5;
};

Q_DECLARE_METATYPE(M_db_synhistory)
