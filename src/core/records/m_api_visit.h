#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// A recent-visit entry.
class M_api_visit
{
public:
    M_api_visit() = default;
    explicit M_api_visit(const QJsonObject &obj);

    QString bankuai;
    int client = 0;
    QString fileid;
    QString filename;
    QString fullpath;
    QString ip;
    QString username;
    QString visittime;
    QString visittype;
    QString fileext;
    int filecategory = 0;
    int status = 0;
    // A folder (the service marks browsed folders; older replies only by
    // the visit type "浏览").
    bool isdir = false;
};

Q_DECLARE_METATYPE(M_api_visit)
