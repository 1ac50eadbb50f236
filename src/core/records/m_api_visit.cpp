#include "records/m_api_visit.h"

#include "records/jsonread.h"

M_api_visit::M_api_visit(const QJsonObject &o)
{
    using namespace JsonRead;
    bankuai = toText(o, "bankuai");
    client = toInt(o, "client");
    fileid = toText(o, "fileid");
    filename = toText(o, "filename");
    fullpath = toText(o, "fullpath");
    ip = toText(o, "ip");
    username = toText(o, "username");
    visittime = toText(o, "visittime");
    visittype = toText(o, "visittype");
    fileext = toText(o, "fileext");
    filecategory = toInt(o, "filecategory");
    status = toInt(o, "status");
    isdir = toFlag(o, "isdir") || visittype == QStringLiteral("浏览");
}
