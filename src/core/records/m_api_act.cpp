#include "records/m_api_act.h"

#include "records/jsonread.h"

M_api_act::M_api_act(const QJsonObject &o)
{
    using namespace JsonRead;
    id = toText(o, "id");
    act = toInt(o, "act");
    status = toInt(o, "status");
    data = toObject(o, "data");
    result = toText(o, "result");
    ip = toText(o, "ip");
    username = toText(o, "username");
    client = toInt(o, "client");
}

QString M_api_act::clientName(int client)
{
    switch (client) {
    case 1: return QStringLiteral("网页");
    case 2: return QStringLiteral("app");
    case 3: return QStringLiteral("微信");
    case 4: return QStringLiteral("客户端");
    default: return QString();
    }
}
