#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// A server act as "v1/wp/act/GetActStatus" returns it.
class M_api_act
{
public:
    M_api_act() = default;
    explicit M_api_act(const QJsonObject &obj);

    // 1 "网页", 2 "app", 3 "微信", 4 "客户端", anything else empty.
    static QString clientName(int client);
    QString clientText() const { return clientName(client); }

    QString id;
    int act = 0;
    int status = 0;
    QJsonObject data; // sent as the text of an object
    QString result;
    QString ip;
    QString username;
    int client = 0;
};

Q_DECLARE_METATYPE(M_api_act)
