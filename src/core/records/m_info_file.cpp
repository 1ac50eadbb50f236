#include "records/m_info_file.h"

#include "records/jsonread.h"

M_info_file::M_info_file(const QJsonObject &o)
{
    using namespace JsonRead;
    id = toText(o, "id");
    filename = toText(o, "filename");
    filecategory = toInt(o, "filecategory");
    filesize = toInt64(o, "filesize");
    fileext = toText(o, "fileext");
    isdir = toFlag(o, "isdir");
    addtime = toText(o, "addtime");
    adduserid = toInt(o, "adduserid");
    addusername = toText(o, "addusername");
    showtime = toText(o, "showtime");
    updatetime = toText(o, "updatetime");
    updateuserid = toInt(o, "updateuserid");
    updateusename = toText(o, "updateusename");
    fullpath = toText(o, "fullpath");
    dirnum = toInt(o, "dirnum");
    filenum = toInt(o, "filenum");
    md5 = toText(o, "md5");
    banben = toText(o, "banben");
    permissioncode = toText(o, "permissioncode");
}

QJsonObject M_info_file::toJson() const
{
    QJsonObject o;
    o.insert("id", id);
    o.insert("filename", filename);
    o.insert("filecategory", filecategory);
    o.insert("filesize", filesize);
    o.insert("fileext", fileext);
    o.insert("isdir", isdir);
    o.insert("addtime", addtime);
    o.insert("adduserid", adduserid);
    o.insert("addusername", addusername);
    o.insert("showtime", showtime);
    o.insert("updatetime", updatetime);
    o.insert("updateuserid", updateuserid);
    o.insert("updateusename", updateusename);
    o.insert("fullpath", fullpath);
    o.insert("dirnum", dirnum);
    o.insert("filenum", filenum);
    o.insert("md5", md5);
    o.insert("banben", banben);
    o.insert("permissioncode", permissioncode);
    return o;
}
