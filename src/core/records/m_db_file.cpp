#include "records/m_db_file.h"

#include <QSqlRecord>
#include <QVariant>

M_db_file::M_db_file(const QSqlRecord &r)
{
    id = r.value("id").toInt();
    fileid = r.value("fileid").toString();
    filename = r.value("filename").toString();
    type = r.value("type").toInt();
    status = r.value("status").toInt();
    localpath = r.value("localpath").toString();
    serverpath = r.value("serverpath").toString();
    error = r.value("error").toString();
    md5 = r.value("md5").toString();
    // Stored as text; converted here.
    filesize = r.value("filesize").toString().toLongLong();
    addtime = r.value("addtime").toLongLong();
    donetime = r.value("donetime").toLongLong();
    evtid = r.value("evtid").toString();
    block = r.value("block").toInt();
    upserver = r.value("upserver").toString();
    ismc = r.value("ismc").toInt();
    isedit = r.value("isedit").toBool();
}
