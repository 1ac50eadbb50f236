#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// An entry of a listing (disk, backup, recycle bin).
class M_fileinfo
{
public:
    M_fileinfo() = default;
    // Every key, recycle-bin ones included.
    explicit M_fileinfo(const QJsonObject &obj);
    // The plain disk listing: the first thirteen keys only.
    static M_fileinfo fromDiskList(const QJsonObject &obj);
    QJsonObject toJson() const;

    QString id;
    QString filename;
    QString fileext;
    QString fullpath;
    QString bankuai;
    qint64 filesize = 0; // number or decimal text on the wire
    bool isdir = false;
    QString createtime;
    QString createuserid;
    QString createusername;
    QString filetype;
    bool isadmin = false;
    QString permissioncode;
    // Recycle-bin entries.
    QString deltime;
    QString deluserid;
    QString delusername;
    QString updateusername;
    QString updatetime;
    int updateuserid = 0;
};

Q_DECLARE_METATYPE(M_fileinfo)
