#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

class QSqlRecord;

// A row of the backup log.
class M_db_syn
{
public:
    M_db_syn() = default;
    explicit M_db_syn(const QSqlRecord &record);

    QString id;
    QDateTime dotime; // stored as the text of ms since the epoch
    QString addusername;
    QString fullpath;
    QString fileid;
    QString domsg;
    int dotype = 0;
    int status = 0; // 99 done
    QString errmsg;
    QString owner;
};

Q_DECLARE_METATYPE(M_db_syn)
