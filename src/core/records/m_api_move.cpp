#include "records/m_api_move.h"

#include "records/jsonread.h"

M_api_move::M_api_move(const QJsonObject &o)
{
    using namespace JsonRead;
    path = toText(o, "path");
    to = toText(o, "to");
    toname = toText(o, "toname");
    totype = toInt(o, "totype");
    code = toInt(o, "code");
    msg = toText(o, "msg");
    isdir = toFlag(o, "isdir");
}

QJsonObject M_api_move::toJson() const
{
    QJsonObject o;
    o.insert("path", path);
    o.insert("to", to);
    o.insert("toname", toname);
    o.insert("totype", totype);
    o.insert("code", code);
    o.insert("msg", msg);
    o.insert("isdir", isdir);
    return o;
}
