#pragma once

#include "records/m_api_act.h"
#include "records/m_api_fav_info.h"
#include "records/m_api_move.h"
#include "records/m_api_visit.h"
#include "records/m_bak_config.h"
#include "records/m_db_file.h"
#include "records/m_db_syn.h"
#include "records/m_db_synhistory.h"
#include "records/m_fileinfo.h"
#include "records/m_info_file.h"
#include "records/m_page.h"
#include "records/m_renameinfo.h"
#include "records/m_tmpdir.h"

#include <QList>

Q_DECLARE_METATYPE(QList<M_db_file>)
Q_DECLARE_METATYPE(QList<M_db_syn>)
Q_DECLARE_METATYPE(QList<M_fileinfo>)
Q_DECLARE_METATYPE(QList<M_info_file>)
Q_DECLARE_METATYPE(QList<M_api_move>)

// Registers every record and list type that crosses threads in queued
// signals. Safe to call more than once; call before the first such connection.
void registerMetaTypes();
