#include "records/m_api_fav_info.h"

#include "records/jsonread.h"

M_api_fav_info::M_api_fav_info(const QJsonObject &o)
{
    using namespace JsonRead;
    id = toText(o, "id");
    addtime = toText(o, "addtime");
    fileid = toText(o, "fileid");
    filename = toText(o, "filename");
    filepath = toText(o, "filepath");
    isdir = toFlag(o, "isdir");
    status = toInt(o, "status");
    fileext = toText(o, "fileext");
    filecategory = toInt(o, "filecategory");
}
