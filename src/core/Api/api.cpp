#include "Api/api.h"

#include "DB/db_setting.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QLocale>
#include <QLoggingCategory>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cmath>

Q_LOGGING_CATEGORY(lcApi, "orvel.api")

namespace {
enum Base { NoBase, ClientBase, ApiBase, SsoBase, UploadBase };

struct Endpoint
{
    const char *path;
    Base base;
};

// Indexed by Api::apis.
const Endpoint kEndpoints[] = {
    {"", NoBase},                                   // 0 none
    {"update.json", ClientBase},                    // 1
    {"v1/user/info/login", ApiBase},                // 2
    {"v1/user/info/GetMySchool", ApiBase},          // 3
    {"v1/user/info/ChgSchool", ApiBase},            // 4
    {"v1/user/info/islogin", ApiBase},              // 5
    {"v1/user/info/GetLoginInfo", ApiBase},         // 6
    {"v1/user/info/loginout", ApiBase},             // 7
    {"v1/user/info/Editpwd", ApiBase},              // 8
    {"v1/wp/file/getlist", ApiBase},                // 9
    {"v1/wp/file/GetAllChild", ApiBase},            // 10
    {"v1/wp/file/ChkBlock", ApiBase},               // 11
    {"v1/wp/act/GetUploadLink", ApiBase},           // 12
    {"/v1/wp/file/ChkMD5", UploadBase},             // 13
    {"v1/wp/act/GetActStatus", ApiBase},            // 14
    {"v1/wp/act/add", ApiBase},                     // 15
    {"v1/wp/act/add", ApiBase},                     // 16
    {"v1/wp/act/add", ApiBase},                     // 17
    {"v1/wp/act/add", ApiBase},                     // 18
    {"v1/wp/act/GetDownLoadLink", ApiBase},         // 19
    {"v1/wp/act/add", ApiBase},                     // 20
    {"v1/wp/act/add", ApiBase},                     // 21
    {"v1/wp/act/add", ApiBase},                     // 22
    {"v1/wp/act/add", ApiBase},                     // 23
    {"v1/wp/act/add", ApiBase},                     // 24
    {"/v1/wp/file/CancelUpload", UploadBase},       // 25
    {"v1/wp/file/info", ApiBase},                   // 26
    {"v1/wp/file/infobypath", ApiBase},             // 27
    {"v1/wp/file/getrecyclelist", ApiBase},         // 28
    {"v1/wp/tmpdir/GetList", ApiBase},              // 29
    {"v1/wp/tmpdir/getinfo", ApiBase},              // 30
    {"v1/user/info/SsoAppID", ApiBase},             // 31
    {"v1/user/info/LoginByToken", ApiBase},         // 32
    {"api/v1/sso/User/GetLoginToken", SsoBase},     // 33
    {"v1/wp/favourite/add", ApiBase},               // 34
    {"v1/wp/favourite/del", ApiBase},               // 35
    {"v1/wp/favourite/del2", ApiBase},              // 36
    {"v1/wp/favourite/list", ApiBase},              // 37
    {"v1/wp/share/add", ApiBase},                   // 38
    {"v1/wp/share/del", ApiBase},                   // 39
    {"v1/wp/share/info", ApiBase},                  // 40
    {"v1/wp/share/info2", ApiBase},                 // 41
    {"v1/wp/share/Verify", ApiBase},                // 42
    {"v1/wp/share/filelist", ApiBase},              // 43
    {"v1/wp/share/ChildList", ApiBase},             // 44
    {"v1/wp/share/GetDownUrl", ApiBase},            // 45
    {"v1/wp/share/list", ApiBase},                  // 46
    {"v1/wp/qx/GetDirQx", ApiBase},                 // 47
    {"v1/wp/visit/list", ApiBase},                  // 48
    {"v1/wp/act/ShareDiskTbLogList", ApiBase},      // 49
    {"v1/sys/time/getnow", ApiBase},                // 50
};
constexpr int kEndpointCount = int(sizeof(kEndpoints) / sizeof(kEndpoints[0]));

const Endpoint *endpoint(Api::apis api)
{
    const int i = int(api);
    return (i > 0 && i < kEndpointCount) ? &kEndpoints[i] : nullptr;
}

QString indentedJson(const QJsonArray &a)
{
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Indented));
}

QString indentedJson(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

QJsonArray stringArray(const QStringList &list)
{
    QJsonArray a;
    for (const QString &s : list)
        a.append(s);
    return a;
}

QString scalarText(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const double d = v.toDouble();
        // Whole numbers as integers ("5", not "5.0" or "5e+00").
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9007199254740992.0)
            return QString::number(qint64(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    default:
        return QString();
    }
}

std::atomic<bool> restartStarted{false};
}

namespace {
void drainAtExit()
{
    Api::instance()->drain();
}
}

Api::Api(QObject *parent)
    : QObject(parent)
    , m_restartHandler(&Api::restartApplication)
{
    m_threadPool.setMaxThreadCount(VGlobalParameter::instance()->apiThreadCount());
    // No request outlives the application: the pool is emptied and waited
    // for while the application still exists.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &Api::drain);
    qAddPostRoutine(drainAtExit);
}

Api::~Api()
{
    drain();
}

Api *Api::instance()
{
    // Owned here and destroyed at exit; the pool's size is set once.
    static Api api;
    return &api;
}

void Api::drain()
{
    m_threadPool.clear();
    m_threadPool.waitForDone();
}

// --- catalogue --------------------------------------------------------------

QString Api::path(Api::apis api)
{
    const Endpoint *e = endpoint(api);
    return e ? QString::fromLatin1(e->path) : QString();
}

QString Api::url(Api::apis api) const
{
    // Only the upload endpoints read the per-call server, so other threads
    // may build addresses while the GUI thread starts an upload call.
    const Endpoint *e = endpoint(api);
    return url(api, e && e->base == UploadBase ? m_uploadServer : QString());
}

QString Api::url(Api::apis api, const QString &upserver)
{
    const Endpoint *e = endpoint(api);
    if (!e)
        return QString();
    VGlobalParameter *gp = VGlobalParameter::instance();
    const QString p = QString::fromLatin1(e->path);
    switch (e->base) {
    case ClientBase:
        return gp->clientUrl() + p;
    case ApiBase:
        return gp->apiUrl() + p;
    case SsoBase:
        return gp->ssoUrl() + p;
    case UploadBase: {
        QString base = upserver;
        while (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        return base + p;
    }
    case NoBase:
        break;
    }
    return QString();
}

bool Api::isPost(Api::apis api)
{
    switch (api) {
    case none:
    case update:
    case user_GetMySchool:
    case user_islogin:
    case user_GetLoginInfo:
    case user_loginout:
    case user_SsoAppID:
    case favourite_list:
    case share_list:
    case time_getnow:
        return false;
    default:
        return true;
    }
}

bool Api::isRepeatable(Api::apis api)
{
    switch (api) {
    case user_Editpwd:
    case act_GetUploadLink:
    case act_add:
    case act_AddTmpDir:
    case act_ReName:
    case act_Remove:
    case act_AddDirs:
    case act_Copy:
    case act_Move:
    case act_add23:
    case act_add24:
        return false;
    default:
        return true;
    }
}

QString Api::encodeValue(const QJsonValue &value)
{
    if (value.isArray())
        return indentedJson(value.toArray());
    if (value.isObject())
        return indentedJson(value.toObject());
    return scalarText(value);
}

QString Api::encodeParams(const QJsonObject &params)
{
    QString query;
    for (auto it = params.begin(); it != params.end(); ++it) {
        query += it.key();
        query += QLatin1Char('=');
        query += QString::fromLatin1(QUrl::toPercentEncoding(encodeValue(it.value())));
        query += QLatin1Char('&');
    }
    return query;
}

void Api::prepare(VUrlRequest *req, Api::apis api, const QJsonObject &params, const QString &upserver) const
{
    req->setRequest(isPost(api) ? 1 : 0, QUrl(url(api, upserver)), m_token, encodeParams(params));
    req->setRetryable(isRepeatable(api));
    if (api == user_LoginByToken || api == sso_GetLoginToken)
        req->setSensitiveReply(true);
}

// --- starting requests --------------------------------------------------------

void Api::startApi(VUrlRequest *req, Api::apis api, const QJsonObject &params, bool waiting)
{
    if (!req)
        return;
    const QString address = url(api);
    qCDebug(lcApi).noquote() << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                             << "参数:"
                             << QString::fromUtf8(
                                    QJsonDocument(VUrlRequest::redactObject(params)).toJson(QJsonDocument::Compact))
                             << "请求url：" << VUrlRequest::redactUrl(QUrl(address));
    prepare(req, api, params, m_uploadServer);
    if (waiting)
        emit VGlobalConnect::instance()->signalLayer_waiting(QString(), false);
    // Release the object from this thread so the pool thread can adopt it:
    // its timers and replies then live where it runs, and it dies there.
    if (!req->parent() && req->thread() == QThread::currentThread())
        req->moveToThread(nullptr);
    req->handOver();
    m_threadPool.start(req, 0);
}

void Api::startApi(VUrlRequest *req, Api::apis api)
{
    startApi(req, api, QJsonObject(), true);
}

void Api::startApi(VUrlRequest *req, Api::apis api, const QJsonObject &params)
{
    startApi(req, api, params, true);
}

void Api::startApi(VUrlRequest *req, Api::apis api, bool waiting)
{
    startApi(req, api, QJsonObject(), waiting);
}

void Api::startApi(VUrlRequest *req, Api::apis api, const QString &upserver, const QJsonObject &params,
                   bool waiting)
{
    m_uploadServer = upserver;
    startApi(req, api, params, waiting);
    m_uploadServer.clear();
}

QJsonObject Api::startApiSync(Api::apis api, const QJsonObject &params)
{
    VUrlRequest req;
    prepare(&req, api, params, QString());
    qCDebug(lcApi).noquote() << "sync" << VUrlRequest::redactUrl(req.url());
    return req.send();
}

// --- envelope -------------------------------------------------------------------

int Api::getCode(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("Code")).toVariant().toInt();
}

int Api::checkCode(const QJsonObject &reply, bool hideLayer)
{
    if (hideLayer)
        emit VGlobalConnect::instance()->signalLayer_hide();
    const int code = getCode(reply);
    if (code == -1 || code == -2) {
        const QString text = (code == -1 ? QStringLiteral("%1登录失效") : QStringLiteral("%1未选择学校"))
                                 .arg(UserInfo::instance()->loginname);
        db_setting::instance()->setLasterror(text);
        db_setting::instance()->disableAutoLogin();
        qCInfo(lcApi) << "sign-in lost, code" << code;
        if (m_restartHandler)
            m_restartHandler(text);
    }
    return code;
}

int Api::checkCode(const QJsonObject &reply)
{
    return checkCode(reply, true);
}

Api::RestartHandler Api::setRestartHandler(RestartHandler handler)
{
    RestartHandler old = m_restartHandler;
    m_restartHandler = std::move(handler);
    return old;
}

void Api::restartApplication(const QString &message)
{
    Q_UNUSED(message)
    // Several requests in flight may all report the lost sign-in; start one
    // fresh copy only.
    if (restartStarted.exchange(true))
        return;
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
    QCoreApplication::quit();
}

QString Api::getMsg(const QJsonObject &reply)
{
    // Some replies carry a number or a flag as "Msg" (the SSO app id).
    const QJsonValue v = reply.value(QStringLiteral("Msg"));
    return v.isObject() || v.isArray() ? QString() : scalarText(v);
}

QJsonObject Api::getCustomData(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("customdata")).toObject();
}

QJsonValue Api::getData(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("data"));
}

QString Api::getToken(const QJsonObject &data)
{
    return data.contains(QStringLiteral("token")) ? scalarText(data.value(QStringLiteral("token"))) : QString();
}

QString Api::getUpserver(const QJsonObject &data)
{
    return scalarText(data.value(QStringLiteral("upserver")));
}

QJsonArray Api::toArray(const QJsonValue &value)
{
    if (value.isArray())
        return value.toArray();
    if (value.isString())
        return VUtils::toJsonArray(value.toString());
    return QJsonArray();
}

bool Api::isTrue(const QJsonValue &value)
{
    return value.toVariant().toInt() == 1;
}

M_info_file Api::getInfoFile(const QJsonObject &data)
{
    return M_info_file(data);
}

QList<M_tmpdir_item> Api::getTmpDirList(const QJsonValue &data)
{
    const QJsonArray list = data.isArray() ? data.toArray() : toArray(data.toObject().value(QStringLiteral("list")));
    QList<M_tmpdir_item> out;
    for (const QJsonValue &v : list)
        out.append(M_tmpdir_item(v.toObject()));
    return out;
}

M_tmpdir_info Api::getTmpDirInfo(const QJsonValue &data)
{
    return M_tmpdir_info(data.toObject());
}

bool Api::setUserInfo(const QJsonObject &data)
{
    UserInfo::instance()->fromJson(data);
    return true;
}

QJsonArray Api::getSchools(const QJsonValue &data)
{
    QJsonArray source;
    if (data.isArray())
        source = data.toArray();
    else if (data.isObject())
        source = toArray(data.toObject().value(QStringLiteral("list")));
    else if (data.isString())
        source = toArray(data);
    QJsonArray out;
    for (const QJsonValue &v : source) {
        const QJsonObject s = v.toObject();
        QJsonValue id = s.value(QStringLiteral("schoolid"));
        if (id.isUndefined() || id.isNull())
            id = s.value(QStringLiteral("id"));
        QJsonObject o;
        o.insert(QStringLiteral("id"), scalarText(id));
        o.insert(QStringLiteral("schoolname"), scalarText(s.value(QStringLiteral("schoolname"))));
        o.insert(QStringLiteral("jiancheng"), scalarText(s.value(QStringLiteral("jiancheng"))));
        out.append(o);
    }
    return out;
}

// --- acts ------------------------------------------------------------------------

void Api::addAct(const QString &id)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    removeAct(id);
    m_pendingActs.append(o);
}

void Api::addAct(const QString &id, int type, const QString &path, int wptype)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("type"), type);
    o.insert(QStringLiteral("path"), path);
    o.insert(QStringLiteral("wptype"), wptype);
    removeAct(id);
    m_pendingActs.append(o);
}

void Api::removeAct(const QString &id)
{
    for (int i = m_pendingActs.size() - 1; i >= 0; --i) {
        if (m_pendingActs.at(i).value(QStringLiteral("id")).toString() == id)
            m_pendingActs.removeAt(i);
    }
}

QJsonObject Api::getAct(const QString &id) const
{
    for (const QJsonObject &o : m_pendingActs) {
        if (o.value(QStringLiteral("id")).toString() == id)
            return o;
    }
    return QJsonObject();
}

QStringList Api::actIds() const
{
    QStringList ids;
    for (const QJsonObject &o : m_pendingActs)
        ids << o.value(QStringLiteral("id")).toString();
    return ids;
}

QString Api::getActError(const M_api_act &act)
{
    const QJsonObject data = act.data;
    const int type = act.act;
    if (type == 1) {
        if (data.value(QStringLiteral("code")).toVariant().toInt() != 0)
            return scalarText(data.value(QStringLiteral("msg")));
        return QString();
    }
    if (type == 5 || type == 7) {
        const QJsonArray list = toArray(data.value(QStringLiteral("filelist")));
        for (const QJsonValue &v : list) {
            const QJsonObject item = v.toObject();
            if (item.value(QStringLiteral("code")).toVariant().toInt() != 0)
                return scalarText(item.value(QStringLiteral("msg")));
        }
    }
    return QString();
}

// --- pending upload cancellations ---------------------------------------------------

void Api::addCancel(const QJsonArray &array)
{
    bool changed = false;
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        const QString evtid = scalarText(o.value(QStringLiteral("evtid")));
        if (evtid.isEmpty())
            continue;
        bool known = false;
        for (const QJsonValue &e : qAsConst(m_cancelList)) {
            if (scalarText(e.toObject().value(QStringLiteral("evtid"))) == evtid) {
                known = true;
                break;
            }
        }
        if (!known) {
            m_cancelList.append(o);
            changed = true;
        }
    }
    if (changed)
        saveCancel();
}

void Api::removeCancel(const QString &evtid)
{
    bool changed = false;
    for (int i = m_cancelList.size() - 1; i >= 0; --i) {
        if (scalarText(m_cancelList.at(i).toObject().value(QStringLiteral("evtid"))) == evtid) {
            m_cancelList.removeAt(i);
            changed = true;
        }
    }
    if (changed)
        saveCancel();
}

void Api::loadCancel()
{
    const QJsonArray stored = db_setting::instance()->getCancle();
    m_cancelList = QJsonArray();
    // Re-adding drops entries without an event id and duplicates.
    for (const QJsonValue &v : stored) {
        const QJsonObject o = v.toObject();
        const QString evtid = scalarText(o.value(QStringLiteral("evtid")));
        if (evtid.isEmpty())
            continue;
        bool known = false;
        for (const QJsonValue &e : qAsConst(m_cancelList))
            known = known || scalarText(e.toObject().value(QStringLiteral("evtid"))) == evtid;
        if (!known)
            m_cancelList.append(o);
    }
}

void Api::saveCancel()
{
    db_setting::instance()->setCancle(m_cancelList);
}

// --- parameter builders ----------------------------------------------------------

QJsonObject Api::params_user_ChgSchool(int schoolid)
{
    return {{QStringLiteral("schoolid"), QString::number(schoolid)}};
}

QJsonObject Api::params_user_Editpwd(const QString &oldPassword, const QString &newPassword,
                                     const QString &newPassword2)
{
    VUtils *u = VUtils::instance();
    return {{QStringLiteral("opwd"), u->toEncrypt(oldPassword)},
            {QStringLiteral("npwd1"), u->toEncrypt(newPassword)},
            {QStringLiteral("npwd2"), u->toEncrypt(newPassword2)}};
}

QJsonObject Api::params_file_getlist(const QString &filepath, const QString &searchkey, int visitlog,
                                     int filetype)
{
    return {{QStringLiteral("filepath"), filepath},
            {QStringLiteral("searchkey"), searchkey},
            {QStringLiteral("visitlog"), QString::number(visitlog)},
            {QStringLiteral("filetype"), QString::number(filetype)}};
}

QJsonObject Api::params_file_GetAllChild(const QString &filepath)
{
    return {{QStringLiteral("filepath"), filepath}, {QStringLiteral("filetype"), QStringLiteral("0")}};
}

QJsonObject Api::params_act_GetUploadLink(const QString &filepath, const QString &filename, qint64 filesize,
                                          int uptype)
{
    return {{QStringLiteral("filepath"), filepath},
            {QStringLiteral("filename"), filename},
            {QStringLiteral("filesize"), QString::number(filesize)},
            {QStringLiteral("uptype"), QString::number(uptype)}};
}

QJsonObject Api::params_file_ChkMD5(const QString &evtid, const QString &filemd5)
{
    return {{QStringLiteral("evtid"), evtid}, {QStringLiteral("filemd5"), filemd5}};
}

QJsonObject Api::params_act_GetActStatus(const QStringList &ids)
{
    return {{QStringLiteral("ids"), ids.join(QLatin1Char(','))}};
}

QJsonObject Api::params_act_AddDir(const QString &filepath, const QString &dirname)
{
    return {{QStringLiteral("acttype"), QStringLiteral("AddDir")},
            {QStringLiteral("filepath"), filepath},
            {QStringLiteral("dirname"), dirname}};
}

QJsonObject Api::params_act_Del(const QJsonArray &filelist)
{
    return {{QStringLiteral("acttype"), QStringLiteral("Del")}, {QStringLiteral("filelist"), filelist}};
}

QJsonObject Api::params_act_Del(const QStringList &filelist)
{
    return params_act_Del(stringArray(filelist));
}

QJsonObject Api::params_act_Reduction(const QJsonArray &filelist)
{
    return {{QStringLiteral("acttype"), QStringLiteral("Reduction")}, {QStringLiteral("filelist"), filelist}};
}

QJsonObject Api::params_act_AddTmpDir(const QString &filepath, const QString &dirname, const QString &fileid)
{
    return {{QStringLiteral("acttype"), QStringLiteral("AddTmpDir")},
            {QStringLiteral("filepath"), filepath},
            {QStringLiteral("dirname"), dirname},
            {QStringLiteral("fileid"), fileid}};
}

QJsonObject Api::params_act_ReName(const QJsonArray &filelist)
{
    return {{QStringLiteral("acttype"), QStringLiteral("ReName")}, {QStringLiteral("filelist"), filelist}};
}

QJsonObject Api::params_act_ReName(const QString &filepath, const QString &newname)
{
    QJsonArray list;
    list.append(QJsonObject{{QStringLiteral("filepath"), filepath}, {QStringLiteral("newname"), newname}});
    return params_act_ReName(list);
}

QJsonObject Api::params_act_Remove(const QStringList &filelist)
{
    return {{QStringLiteral("acttype"), QStringLiteral("Remove")}, {QStringLiteral("filelist"), stringArray(filelist)}};
}

QJsonObject Api::params_act_AddDirs(const QString &filepath, const QStringList &dirs)
{
    return {{QStringLiteral("acttype"), QStringLiteral("AddDirs")},
            {QStringLiteral("filepath"), filepath},
            {QStringLiteral("dirs"), stringArray(dirs)}};
}

QJsonObject Api::params_act_Copy(const QList<M_api_move> &items)
{
    QJsonArray list;
    for (const M_api_move &m : items)
        list.append(QJsonObject{{QStringLiteral("filepath"), m.path},
                                {QStringLiteral("to"), m.to},
                                {QStringLiteral("toname"), m.toname},
                                {QStringLiteral("totype"), QString::number(m.totype)}});
    return {{QStringLiteral("acttype"), QStringLiteral("Copy")}, {QStringLiteral("filelist"), list}};
}

QJsonObject Api::params_act_Move(const QList<M_api_move> &items)
{
    QJsonArray list;
    for (const M_api_move &m : items)
        list.append(QJsonObject{{QStringLiteral("filepath"), m.path},
                                {QStringLiteral("to"), m.to},
                                {QStringLiteral("toname"), m.toname},
                                {QStringLiteral("totype"), m.totype}});
    return {{QStringLiteral("acttype"), QStringLiteral("Move")}, {QStringLiteral("filelist"), list}};
}

QJsonObject Api::params_file_CancelUpload(const QString &evtid)
{
    return {{QStringLiteral("evtid"), evtid}};
}

QJsonObject Api::params_file_info(const QString &fileid)
{
    return {{QStringLiteral("fileid"), fileid}};
}

QJsonObject Api::params_file_infobypath(const QString &filepath)
{
    return {{QStringLiteral("filepath"), filepath}};
}

QJsonObject Api::params_file_getrecyclelist(const QString &searchkey)
{
    return {{QStringLiteral("searchkey"), searchkey}};
}

QJsonObject Api::params_tmpdir_GetList()
{
    return {{QStringLiteral("pagesize"), QStringLiteral("9999")}, {QStringLiteral("pageindex"), QStringLiteral("1")}};
}

QJsonObject Api::params_tmpdir_getinfo(const QString &id)
{
    return {{QStringLiteral("id"), id}};
}

QJsonObject Api::params_user_LoginByToken(const QString &logintoken)
{
    return {{QStringLiteral("logintoken"), logintoken}};
}

QJsonObject Api::params_sso_GetLoginToken(const QString &account, const QString &password) const
{
    return {{QStringLiteral("accout"), account},
            {QStringLiteral("pwd"), VUtils::instance()->toEncrypt(password)},
            {QStringLiteral("client"), QStringLiteral("pcclient")},
            {QStringLiteral("appid"), m_ssoAppId},
            {QStringLiteral("redirect_uri"), redirectUri()},
            {QStringLiteral("response_type"), QStringLiteral("a1")},
            {QStringLiteral("state"), QStringLiteral("123")},
            {QStringLiteral("scope"), QStringLiteral("baseinfo")}};
}

QJsonObject Api::params_favourite_add(const QStringList &filelist)
{
    return {{QStringLiteral("filelist"), stringArray(filelist)}};
}

QJsonObject Api::params_favourite_del(const QStringList &filelist)
{
    return {{QStringLiteral("filelist"), stringArray(filelist)}};
}

QJsonObject Api::params_qx_GetDirQx(const QString &fileid)
{
    return {{QStringLiteral("fileid"), fileid}};
}

QJsonObject Api::params_act_ShareDiskTbLogList(const QDateTime &starttime)
{
    return {{QStringLiteral("starttime"), starttime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}};
}

QString Api::redirectUri()
{
    return VGlobalParameter::instance()->webUrl();
}
