#include "records/m_fileinfo.h"

#include "records/jsonread.h"

using namespace JsonRead;

static void readListKeys(M_fileinfo &f, const QJsonObject &o)
{
    f.id = toText(o, "id");
    f.filename = toText(o, "filename");
    f.fileext = toText(o, "fileext");
    f.fullpath = toText(o, "fullpath");
    f.bankuai = toText(o, "bankuai");
    f.filesize = toInt64(o, "filesize");
    f.isdir = toFlag(o, "isdir");
    f.createtime = toText(o, "createtime");
    f.createuserid = toText(o, "createuserid");
    f.createusername = toText(o, "createusername");
    f.filetype = toText(o, "filetype");
    f.isadmin = toFlag(o, "isadmin");
    f.permissioncode = toText(o, "permissioncode");
}

M_fileinfo::M_fileinfo(const QJsonObject &o)
{
    readListKeys(*this, o);
    deltime = toText(o, "deltime");
    deluserid = toText(o, "deluserid");
    delusername = toText(o, "delusername");
    updateusername = toText(o, "updateusername");
    updatetime = toText(o, "updatetime");
    updateuserid = toInt(o, "updateuserid");
}

M_fileinfo M_fileinfo::fromDiskList(const QJsonObject &o)
{
    // The disk listing sends the ids and type as numbers; the lenient readers
    // give the same decimal text for either form.
    M_fileinfo f;
    readListKeys(f, o);
    return f;
}

QJsonObject M_fileinfo::toJson() const
{
    QJsonObject o;
    o.insert("id", id);
    o.insert("filename", filename);
    o.insert("fileext", fileext);
    o.insert("fullpath", fullpath);
    o.insert("bankuai", bankuai);
    o.insert("filesize", filesize);
    o.insert("isdir", isdir);
    o.insert("createtime", createtime);
    o.insert("createuserid", createuserid);
    o.insert("createusername", createusername);
    o.insert("filetype", filetype);
    o.insert("isadmin", isadmin);
    o.insert("permissioncode", permissioncode);
    o.insert("deltime", deltime);
    o.insert("deluserid", deluserid);
    o.insert("delusername", delusername);
    o.insert("updateusername", updateusername);
    o.insert("updatetime", updatetime);
    o.insert("updateuserid", updateuserid);
    return o;
}
