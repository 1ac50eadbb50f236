#include "records/m_db_syn.h"

#include <QSqlRecord>
#include <QVariant>

M_db_syn::M_db_syn(const QSqlRecord &r)
{
    id = r.value("id").toString();
    bool ok = false;
    const qint64 ms = r.value("dotime").toString().toLongLong(&ok);
    if (ok)
        dotime = QDateTime::fromMSecsSinceEpoch(ms);
    addusername = r.value("addusername").toString();
    fullpath = r.value("fullpath").toString();
    fileid = r.value("fileid").toString();
    domsg = r.value("domsg").toString();
    dotype = r.value("dotype").toInt();
    status = r.value("status").toInt();
    errmsg = r.value("errmsg").toString();
    owner = r.value("owner").toString();
}
