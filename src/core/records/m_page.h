#pragma once

#include "records/m_db_synhistory.h"

#include <QList>
#include <QMetaType>

// One page of the backup history.
class M_page
{
public:
    int pagesize = 100;
    int pageindex = 1;
    int total = 0;     // rows matching the condition
    int pagecount = 0; // pages of pagesize rows
    QList<M_db_synhistory> list;
};

Q_DECLARE_METATYPE(M_page)
