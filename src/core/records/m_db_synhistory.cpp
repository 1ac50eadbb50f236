#include "records/m_db_synhistory.h"

#include <QSqlRecord>
#include <QVariant>

M_db_synhistory::M_db_synhistory(const QSqlRecord &r)
{
    id = r.value("id").toString();
    dotime = r.value("dotime").toString().toLongLong();
    addusername = r.value("addusername").toString();
    localpath = r.value("localpath").toString();
    serverpath = r.value("serverpath").toString();
    fileid = r.value("fileid").toString();
    dotype = r.value("dotype").toInt();
    owner = r.value("owner").toString();
    pid = r.value("pid").toString();
    isdir = r.value("isdir").toInt();
    fileext = r.value("fileext").toString();
    filesize = r.value("filesize").toString().toLongLong();
    filename = r.value("filename").toString();
    md5 = r.value("md5").toString();
}
