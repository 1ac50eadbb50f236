#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// One item of a copy or move, and its outcome.
class M_api_move
{
public:
    M_api_move() = default;
    explicit M_api_move(const QJsonObject &obj);
    QJsonObject toJson() const;

    QString path;
    QString to;
    QString toname;
    int totype = 0;
    int code = 0; // 0 success
    QString msg;
    bool isdir = false;
};

Q_DECLARE_METATYPE(M_api_move)
