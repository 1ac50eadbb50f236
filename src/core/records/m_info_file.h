#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// A file or folder on the server ("v1/wp/file/info", "infobypath", listings).
class M_info_file
{
public:
    M_info_file() = default;
    explicit M_info_file(const QJsonObject &obj);
    QJsonObject toJson() const;

    QString id;
    QString filename;
    int filecategory = 0;
    qint64 filesize = 0;
    QString fileext;
    bool isdir = false;
    QString addtime;
    int adduserid = 0;
    QString addusername;
    QString showtime;
    QString updatetime;
    int updateuserid = 0;
    QString updateusename;
    QString fullpath;
    int dirnum = 0;
    int filenum = 0;
    QString md5;
    QString banben;
    QString permissioncode;
};

Q_DECLARE_METATYPE(M_info_file)
