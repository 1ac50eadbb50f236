#include "context/userinfo.h"

#include "records/jsonread.h"
#include "utils/vutils.h"

UserInfo::UserInfo(QObject *parent) : QObject(parent) {}

UserInfo *UserInfo::instance()
{
    static UserInfo self;
    return &self;
}

void UserInfo::fromJson(const QJsonObject &data)
{
    using namespace JsonRead;
    id = toInt(data, "id");
    truename = toText(data, "truename");
    namenote = toText(data, "namenote");
    sex = toFlag(data, "sex");
    shenfen = toInt(data, "shenfen");
    schoolid = toInt(data, "schoolid");
    logintime = VUtils::parseDateTime(toText(data, "logintime"));
    logins = toInt(data, "logins");
    loginname = toText(data, "loginname");
    jiancheng = toText(data, "jiancheng");
    face = toText(data, "face");
    birthday = toInt(data, "birthday");
    mobile = toText(data, "mobile");
}

void UserInfo::clear()
{
    username.clear();
    schoolname.clear();
    password.clear();
    logintype = 0;
    id = 0;
    truename.clear();
    namenote.clear();
    sex = false;
    shenfen = 0;
    schoolid = 0;
    logintime = QDateTime();
    logins = 0;
    loginname.clear();
    jiancheng.clear();
    face.clear();
    birthday = 0;
    mobile.clear();
}
