#include "auth.h"

#include "crypto.h"
#include "http.h"
#include "service.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

namespace auth {
namespace {

const char kAppId[] = "33";
const qint64 kLoginTokenTtlMs = 5 * 60 * 1000;

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }
QString nowText() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

bool checkPassword(const QVariantMap &user, const QString &password)
{
    return !user.isEmpty()
        && crypto::passwordHash(user.value("salt").toString(), password) == user.value("pwhash").toString();
}

void ssoAppId(Call &c) { c.reply(0, QString::fromLatin1(kAppId)); }

void getLoginToken(Call &c)
{
    const QString account = c.p("accout").trimmed();
    const QString enc = c.p("pwd");
    if (account.isEmpty() || enc.isEmpty()) {
        c.reply(1, QStringLiteral("请输入用户名和密码"));
        return;
    }
    if (c.has("appid") && c.p("appid") != QLatin1String(kAppId)) {
        c.reply(1, QStringLiteral("应用标识无效"));
        return;
    }
    bool ok = false;
    const QString password = crypto::decryptPassword(enc, &ok);
    if (!ok) {
        c.reply(1, QStringLiteral("密码格式错误，无法解密"));
        return;
    }
    Store &st = svc().store;
    Store::Tx tx(st);
    const QVariantMap user = st.row(QStringLiteral("SELECT * FROM users WHERE loginname=?"), {account});
    if (!checkPassword(user, password)) {
        c.reply(1, QStringLiteral("用户名或密码错误"));
        return;
    }
    const QString token = crypto::randomHex(20);
    st.exec(QStringLiteral("INSERT INTO login_tokens(token, userid, created) VALUES(?,?,?)"),
            {token, user.value("id"), nowMs()});
    tx.commit();
    c.reply(0, QStringLiteral("登录成功"),
            QJsonObject{{"token", token}, {"state", c.p("state")}, {"redirect_uri", c.p("redirect_uri")}});
}

QString openSession(qint64 userid)
{
    Store &st = svc().store;
    const QString token = crypto::randomHex(24);
    // A new sign-in of the same account marks older sessions as replaced:
    // islogin then tells those clients that the account went elsewhere.
    st.exec(QStringLiteral("UPDATE sessions SET superseded=1 WHERE userid=? AND ended=0"), {userid});
    st.exec(QStringLiteral("INSERT INTO sessions(token, userid, schoolid, created) VALUES(?,?,0,?)"),
            {token, userid, nowMs()});
    st.exec(QStringLiteral("UPDATE users SET logins=logins+1, logintime=? WHERE id=?"), {nowText(), userid});
    return token;
}

void loginByToken(Call &c)
{
    const QString lt = c.p("logintoken").trimmed();
    if (lt.isEmpty()) {
        c.reply(1, QStringLiteral("缺少登录令牌"));
        return;
    }
    Store &st = svc().store;
    Store::Tx tx(st);
    const QVariantMap row = st.row(QStringLiteral("SELECT * FROM login_tokens WHERE token=?"), {lt});
    if (row.isEmpty() || row.value("used").toInt() || nowMs() - row.value("created").toLongLong() > kLoginTokenTtlMs) {
        c.reply(1, QStringLiteral("登录令牌无效或已过期，请重新登录"));
        return;
    }
    st.exec(QStringLiteral("UPDATE login_tokens SET used=1 WHERE token=?"), {lt});
    const QString token = openSession(row.value("userid").toLongLong());
    tx.commit();
    c.reply(0, token);
}

// Catalogue entry without a client caller: direct sign-in with the same
// encrypted password, answering the bearer token.
void directLogin(Call &c)
{
    bool ok = false;
    const QString password = crypto::decryptPassword(c.p("pwd"), &ok);
    Store &st = svc().store;
    Store::Tx tx(st);
    const QVariantMap user = st.row(QStringLiteral("SELECT * FROM users WHERE loginname=?"), {c.p("accout").trimmed()});
    if (!ok || !checkPassword(user, password)) {
        c.reply(1, QStringLiteral("用户名或密码错误"));
        return;
    }
    const QString token = openSession(user.value("id").toLongLong());
    tx.commit();
    c.reply(0, token);
}

QJsonArray schoolsOf(qint64 userid)
{
    QJsonArray arr;
    const auto rows = svc().store.rows(
        QStringLiteral("SELECT s.id, s.schoolname, s.jiancheng FROM schools s JOIN user_schools u ON u.schoolid=s.id"
                       " WHERE u.userid=? ORDER BY s.id"),
        {userid});
    for (const QVariantMap &r : rows) {
        arr.append(QJsonObject{{"id", r.value("id").toLongLong()},
                               {"schoolid", r.value("id").toLongLong()},
                               {"schoolname", r.value("schoolname").toString()},
                               {"jiancheng", r.value("jiancheng").toString()}});
    }
    return arr;
}

void getMySchool(Call &c)
{
    Session s;
    if (!require(c, &s, false))
        return;
    c.reply(0, QStringLiteral("获取成功"), schoolsOf(s.userid));
}

void chgSchool(Call &c)
{
    Session s;
    if (!require(c, &s, false))
        return;
    bool ok = false;
    const qint64 school = c.p("schoolid").trimmed().toLongLong(&ok);
    if (!ok) {
        c.reply(1, QStringLiteral("学校编号无效"));
        return;
    }
    Store &st = svc().store;
    Store::Tx tx(st);
    if (st.scalar(QStringLiteral("SELECT COUNT(*) FROM user_schools WHERE userid=? AND schoolid=?"), {s.userid, school}).toInt() == 0) {
        c.reply(1, QStringLiteral("您不属于该学校，无法切换"));
        return;
    }
    st.exec(QStringLiteral("UPDATE sessions SET schoolid=? WHERE token=?"), {school, s.token});
    tx.commit();
    c.reply(0, QStringLiteral("切换成功"));
}

void getLoginInfo(Call &c)
{
    Session s;
    if (!require(c, &s))
        return;
    const QVariantMap u = svc().store.row(QStringLiteral("SELECT * FROM users WHERE id=?"), {s.userid});
    const QVariantMap sc = svc().store.row(QStringLiteral("SELECT * FROM schools WHERE id=?"), {s.schoolid});
    c.reply(0, QStringLiteral("获取成功"),
            QJsonObject{{"id", u.value("id").toLongLong()},
                        {"truename", u.value("truename").toString()},
                        {"namenote", u.value("namenote").toString()},
                        {"sex", u.value("sex").toInt() != 0},
                        {"shenfen", u.value("shenfen").toInt()},
                        {"schoolid", s.schoolid},
                        {"schoolname", sc.value("schoolname").toString()},
                        {"jiancheng", sc.value("jiancheng").toString()},
                        {"logintime", u.value("logintime").toString()},
                        {"logins", u.value("logins").toInt()},
                        {"loginname", u.value("loginname").toString()},
                        {"face", u.value("face").toString()},
                        {"birthday", u.value("birthday").toLongLong()},
                        {"mobile", u.value("mobile").toString()}});
}

void isLogin(Call &c)
{
    Session s;
    if (!require(c, &s, false))
        return;
    c.reply(0, !s.superseded);
}

void loginOut(Call &c)
{
    Session s;
    if (!require(c, &s, false))
        return;
    svc().store.exec(QStringLiteral("UPDATE sessions SET ended=1 WHERE token=?"), {s.token});
    c.reply(0, QStringLiteral("退出成功"));
}

void editPwd(Call &c)
{
    Session s;
    if (!require(c, &s, false))
        return;
    bool ok1 = false, ok2 = false, ok3 = false;
    const QString o = crypto::decryptPassword(c.p("opwd"), &ok1);
    const QString n1 = crypto::decryptPassword(c.p("npwd1"), &ok2);
    const QString n2 = crypto::decryptPassword(c.p("npwd2"), &ok3);
    if (!ok1 || !ok2 || !ok3) {
        c.reply(1, QStringLiteral("密码格式错误，无法解密"));
        return;
    }
    if (n1.isEmpty()) {
        c.reply(1, QStringLiteral("新密码不能为空"));
        return;
    }
    if (n1 != n2) {
        c.reply(1, QStringLiteral("两次密码输入不同"));
        return;
    }
    Store &st = svc().store;
    Store::Tx tx(st);
    const QVariantMap user = st.row(QStringLiteral("SELECT * FROM users WHERE id=?"), {s.userid});
    if (!checkPassword(user, o)) {
        c.reply(1, QStringLiteral("原密码错误"));
        return;
    }
    const QString salt = crypto::randomHex(8);
    st.exec(QStringLiteral("UPDATE users SET salt=?, pwhash=? WHERE id=?"), {salt, crypto::passwordHash(salt, n1), s.userid});
    tx.commit();
    c.reply(0, QStringLiteral("密码修改成功"));
}

} // namespace

bool lookup(const QString &token, Session *s)
{
    if (token.isEmpty())
        return false;
    const QVariantMap r = svc().store.row(
        QStringLiteral("SELECT s.token, s.userid, s.schoolid, s.superseded, u.shenfen, u.loginname, u.truename"
                       " FROM sessions s JOIN users u ON u.id=s.userid WHERE s.token=? AND s.ended=0"),
        {token});
    if (r.isEmpty())
        return false;
    s->token = token;
    s->userid = r.value("userid").toLongLong();
    s->schoolid = r.value("schoolid").toLongLong();
    s->superseded = r.value("superseded").toInt() != 0;
    s->shenfen = r.value("shenfen").toInt();
    s->loginname = r.value("loginname").toString();
    s->truename = r.value("truename").toString();
    return true;
}

bool require(Call &c, Session *s, bool needSchool)
{
    if (!lookup(c.token, s)) {
        c.reply(-1, c.token.isEmpty() ? QStringLiteral("未登录或登录已失效") : QStringLiteral("登录已失效，请重新登录"));
        return false;
    }
    if (needSchool && s->schoolid == 0) {
        c.reply(-2, QStringLiteral("未选择学校"));
        return false;
    }
    return true;
}

qint64 addSchool(qint64 id, const QString &name, const QString &shortName)
{
    svc().store.exec(QStringLiteral("INSERT OR REPLACE INTO schools(id, schoolname, jiancheng) VALUES(?,?,?)"),
                     {id, name, shortName});
    return id;
}

qint64 addUser(const QString &loginname, const QString &password, const QString &truename, int shenfen,
               const QList<qint64> &schools, int sex, const QString &mobile)
{
    Store &st = svc().store;
    Store::Tx tx(st);
    const QString salt = crypto::randomHex(8);
    const qint64 id = st.insert(
        QStringLiteral("INSERT INTO users(loginname, salt, pwhash, truename, namenote, sex, shenfen, face, birthday, mobile, logins)"
                       " VALUES(?,?,?,?,?,?,?,?,?,?,0)"),
        {loginname, salt, crypto::passwordHash(salt, password), truename, QString(), sex, shenfen, QString(),
         19850101, mobile});
    for (qint64 sc : schools)
        st.exec(QStringLiteral("INSERT OR IGNORE INTO user_schools(userid, schoolid) VALUES(?,?)"), {id, sc});
    tx.commit();
    return id;
}

void registerRoutes(Router &r)
{
    r.add("/api/v1/user/info/SsoAppID", ssoAppId);
    r.add("/sso/api/v1/sso/User/GetLoginToken", getLoginToken);
    r.add("/api/v1/sso/User/GetLoginToken", getLoginToken);
    r.add("/api/v1/user/info/LoginByToken", loginByToken);
    r.add("/api/v1/user/info/login", directLogin);
    r.add("/api/v1/user/info/GetMySchool", getMySchool);
    r.add("/api/v1/user/info/ChgSchool", chgSchool);
    r.add("/api/v1/user/info/GetLoginInfo", getLoginInfo);
    r.add("/api/v1/user/info/islogin", isLogin);
    r.add("/api/v1/user/info/loginout", loginOut);
    r.add("/api/v1/user/info/Editpwd", editPwd);
}

} // namespace auth
