#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// An entry of "v1/wp/tmpdir/GetList".
class M_tmpdir_item
{
public:
    M_tmpdir_item() = default;
    explicit M_tmpdir_item(const QJsonObject &obj);

    QString tmpname;
    QString id;
    QString addtime;
};

// The detail of "v1/wp/tmpdir/getinfo".
class M_tmpdir_info
{
public:
    M_tmpdir_info() = default;
    explicit M_tmpdir_info(const QJsonObject &obj);

    QString id;
    QString dirs;
    QString tmpname;
};

Q_DECLARE_METATYPE(M_tmpdir_item)
Q_DECLARE_METATYPE(M_tmpdir_info)
