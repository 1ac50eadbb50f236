#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// A favourite.
class M_api_fav_info
{
public:
    M_api_fav_info() = default;
    explicit M_api_fav_info(const QJsonObject &obj);

    QString id;
    QString addtime;
    QString fileid;
    QString filename;
    QString filepath;
    bool isdir = false;
    int status = 0;
    QString fileext;
    int filecategory = 0;
};

Q_DECLARE_METATYPE(M_api_fav_info)
