#include "records/metatypes.h"

void registerMetaTypes()
{
    qRegisterMetaType<M_db_file>("M_db_file");
    qRegisterMetaType<M_db_file::enum_uptype>("M_db_file::enum_uptype");
    qRegisterMetaType<M_db_syn>("M_db_syn");
    qRegisterMetaType<M_db_synhistory>("M_db_synhistory");
    qRegisterMetaType<M_fileinfo>("M_fileinfo");
    qRegisterMetaType<M_info_file>("M_info_file");
    qRegisterMetaType<M_api_move>("M_api_move");
    qRegisterMetaType<M_page>("M_page");
    qRegisterMetaType<M_renameinfo>("M_renameinfo");
    qRegisterMetaType<M_api_fav_info>("M_api_fav_info");
    qRegisterMetaType<M_api_visit>("M_api_visit");
    qRegisterMetaType<M_api_act>("M_api_act");
    qRegisterMetaType<M_tmpdir_item>("M_tmpdir_item");
    qRegisterMetaType<M_tmpdir_info>("M_tmpdir_info");
    qRegisterMetaType<M_bak_config>("M_bak_config");
    qRegisterMetaType<QList<M_db_file>>("QList<M_db_file>");
    qRegisterMetaType<QList<M_db_syn>>("QList<M_db_syn>");
    qRegisterMetaType<QList<M_fileinfo>>("QList<M_fileinfo>");
    qRegisterMetaType<QList<M_info_file>>("QList<M_info_file>");
    qRegisterMetaType<QList<M_api_move>>("QList<M_api_move>");
}
