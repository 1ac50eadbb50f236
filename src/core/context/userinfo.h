#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>

// The signed-in user. Filled by the login dialog and by Api::setUserInfo from
// the "v1/user/info/GetLoginInfo" data.
class UserInfo : public QObject
{
    Q_OBJECT
public:
    static UserInfo *instance();

    // Reads the keys of the login-info data object; username, schoolname,
    // password and logintype are set by the login dialog and left untouched.
    void fromJson(const QJsonObject &data);
    // Back to the state before sign-in.
    void clear();

    QString username;
    QString schoolname;
    QString password;
    int logintype = 0;
    int id = 0;
    QString truename;
    QString namenote;
    bool sex = false;
    int shenfen = 0;
    int schoolid = 0;
    QDateTime logintime;
    int logins = 0;
    QString loginname;
    QString jiancheng;
    QString face;
    int birthday = 0;
    QString mobile;

private:
    explicit UserInfo(QObject *parent = nullptr);
};
