#include "Api/vsignin.h"

#include "Api/api.h"
#include "context/userinfo.h"
#include "request/vurlrequest.h"

#include <QEventLoop>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSignIn, "orvel.signin")

VSignIn::VSignIn(QObject *parent) : QObject(parent) {}

VSignIn::~VSignIn() = default;

void VSignIn::start(const QString &account, const QString &password)
{
    if (m_running)
        return;
    m_running = true;
    m_schoolRequested = false;
    m_account = account;
    m_password = password;
    m_schools = QJsonObject();
    m_result = Result();
    ++m_generation;
    send(AppId, Api::user_SsoAppID);
}

void VSignIn::send(Step step, int api, const QJsonObject &params)
{
    m_step = step;
    auto *req = new VUrlRequest;
    const quint64 generation = m_generation;
    // A reply of an earlier, already ended sequence is not this one's.
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            [this, generation](const QJsonObject &re) {
                if (generation == m_generation && m_running)
                    onReply(re);
            });
    Api::instance()->startApi(req, Api::apis(api), params);
}

void VSignIn::fail(Failure failure, const QString &message, int code)
{
    m_running = false;
    m_password.clear();
    m_result.failure = failure;
    m_result.step = m_step;
    m_result.code = code;
    m_result.message = message;
    qCInfo(lcSignIn) << "sign-in ended at" << m_step << failure << "code" << code;
    emit signalFailed(message, int(failure));
}

void VSignIn::onReply(const QJsonObject &re)
{
    Api *api = Api::instance();
    // A body that is not the envelope answers nothing: without "Code" it
    // would read as success.
    if (VUrlRequest::isTransportFailure(re) || !re.contains(QLatin1String("Code"))) {
        if (m_reportLostSignIn)
            api->checkCode(re);
        fail(Transport,
             re.contains(QLatin1String("Code")) ? Api::getMsg(re) : QStringLiteral("服务器返回的数据无法识别"),
             Api::getCode(re));
        return;
    }
    const int code = m_reportLostSignIn ? api->checkCode(re) : Api::getCode(re);
    if (code != 0) {
        fail(Refused, Api::getMsg(re), code);
        return;
    }

    switch (m_step) {
    case AppId:
        api->setSsoAppId(Api::getMsg(re));
        // the parameter builder encrypts the password
        send(LoginToken, Api::sso_GetLoginToken, api->params_sso_GetLoginToken(m_account, m_password));
        m_password.clear();
        break;
    case LoginToken:
        send(BearerToken, Api::user_LoginByToken,
             Api::params_user_LoginByToken(Api::getToken(Api::getData(re).toObject())));
        break;
    case BearerToken:
        api->setToken(Api::getMsg(re));
        // the token itself stays out of the log
        qCDebug(lcSignIn) << "写入token：" << QStringLiteral("(%1 characters)").arg(Api::getMsg(re).size());
        emit signalSignedIn();
        if (m_running)
            send(Schools, Api::user_GetMySchool);
        break;
    case Schools: {
        const QJsonArray list = Api::getSchools(Api::getData(re));
        m_schools = QJsonObject();
        for (const QJsonValue &v : list) {
            const QJsonObject s = v.toObject();
            m_schools.insert(s.value(QStringLiteral("id")).toString(), s.value(QStringLiteral("schoolname")).toString());
        }
        if (list.isEmpty()) {
            // Nothing to switch to: the account cannot work anywhere.
            fail(NoSchool, noSchoolText());
        } else if (list.size() == 1) {
            chooseSchool(list.first().toObject().value(QStringLiteral("id")).toString());
        } else if (!m_preferred.isEmpty() && m_schools.contains(m_preferred)) {
            chooseSchool(m_preferred);
        } else {
            emit signalChooseSchool(list);
        }
        break;
    }
    case SchoolSwitch: {
        const QString id = QString::number(UserInfo::instance()->schoolid);
        m_result.schoolId = id;
        emit signalSchoolChanged(id);
        if (m_running)
            send(Profile, Api::user_GetLoginInfo);
        break;
    }
    case Profile:
        if (!api->setUserInfo(Api::getData(re).toObject())) {
            fail(BadProfile, profileText());
            return;
        }
        m_running = false;
        emit signalFinished();
        break;
    }
}

void VSignIn::chooseSchool(const QString &id)
{
    // Only the choice that is sent reaches UserInfo: a later click must not
    // make the remembered school differ from the one the server switched to.
    if (!m_running || m_step != Schools || m_schoolRequested)
        return;
    m_schoolRequested = true;
    UserInfo *u = UserInfo::instance();
    u->schoolid = id.toInt();
    u->schoolname = m_schools.value(id).toString();
    send(SchoolSwitch, Api::user_ChgSchool, Api::params_user_ChgSchool(u->schoolid));
}

VSignIn::Result VSignIn::signInSync(const QString &account, const QString &password, const QString &school)
{
    VSignIn s;
    s.setReportLostSignIn(false);
    s.setPreferredSchool(school);
    QEventLoop loop;
    connect(&s, &VSignIn::signalChooseSchool, &s, [&s](const QJsonArray &list) {
        s.chooseSchool(list.first().toObject().value(QStringLiteral("id")).toString());
    });
    connect(&s, &VSignIn::signalFinished, &loop, &QEventLoop::quit);
    connect(&s, &VSignIn::signalFailed, &loop, &QEventLoop::quit);
    s.start(account, password);
    if (s.isRunning())
        loop.exec();
    return s.result();
}

QString VSignIn::describe(const Result &r)
{
    static const char *const steps[] = {"SsoAppID", "GetLoginToken", "LoginByToken", "GetMySchool", "ChgSchool",
                                        "GetLoginInfo"};
    static const char *const kinds[] = {"signed in", "refused", "no answer", "no school", "bad profile"};
    if (r.ok())
        return QStringLiteral("signed in, school %1").arg(r.schoolId);
    return QStringLiteral("%1 at %2: %3 (Code %4)")
        .arg(QLatin1String(kinds[r.failure]), QLatin1String(steps[r.step]), r.message)
        .arg(r.code);
}
