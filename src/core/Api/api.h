#ifndef API_H
#define API_H

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <functional>

#include "records/m_api_act.h"
#include "records/m_api_move.h"
#include "records/m_info_file.h"
#include "records/m_tmpdir.h"

class VUrlRequest;

// The single gateway to the servers: the endpoint catalogue, the parameter
// encoding, the sign-in token, the request pool, the readers of the reply
// envelope, the reaction to a lost sign-in, and the lists of pending acts and
// upload cancellations.
class Api : public QObject
{
    Q_OBJECT
public:
    enum apis {
        none = 0,
        update = 1,
        user_login = 2,
        user_GetMySchool = 3,
        user_ChgSchool = 4,
        user_islogin = 5,
        user_GetLoginInfo = 6,
        user_loginout = 7,
        user_Editpwd = 8,
        file_getlist = 9,
        file_GetAllChild = 10,
        file_ChkBlock = 11,
        act_GetUploadLink = 12,
        file_ChkMD5 = 13,
        act_GetActStatus = 14,
        act_add = 15,
        act_AddTmpDir = 16,
        act_ReName = 17,
        act_Remove = 18,
        act_GetDownLoadLink = 19,
        act_AddDirs = 20,
        act_Copy = 21,
        act_Move = 22,
        act_add23 = 23,
        act_add24 = 24,
        file_CancelUpload = 25,
        file_info = 26,
        file_infobypath = 27,
        file_getrecyclelist = 28,
        tmpdir_GetList = 29,
        tmpdir_getinfo = 30,
        user_SsoAppID = 31,
        user_LoginByToken = 32,
        sso_GetLoginToken = 33,
        favourite_add = 34,
        favourite_del = 35,
        favourite_del2 = 36,
        favourite_list = 37,
        share_add = 38,
        share_del = 39,
        share_info = 40,
        share_info2 = 41,
        share_Verify = 42,
        share_filelist = 43,
        share_ChildList = 44,
        share_GetDownUrl = 45,
        share_list = 46,
        qx_GetDirQx = 47,
        visit_list = 48,
        act_ShareDiskTbLogList = 49,
        time_getnow = 50,
    };
    Q_ENUM(apis)

    static Api *instance();
    ~Api() override;
    // Drops the requests not started yet and waits for the running ones;
    // done when the application quits.
    void drain();

    // --- starting requests -------------------------------------------------
    void startApi(VUrlRequest *req, Api::apis api, const QJsonObject &params, bool waiting);
    void startApi(VUrlRequest *req, Api::apis api);
    void startApi(VUrlRequest *req, Api::apis api, const QJsonObject &params);
    void startApi(VUrlRequest *req, Api::apis api, bool waiting);
    // For the two upload-server endpoints (ChkMD5, CancelUpload).
    void startApi(VUrlRequest *req, Api::apis api, const QString &upserver, const QJsonObject &params,
                  bool waiting);
    // Runs the request on the calling thread and returns its reply.
    QJsonObject startApiSync(Api::apis api, const QJsonObject &params = QJsonObject());

    // Sets up req for api without starting it (what startApi does before the
    // pool takes over); used by callers that send requests of their own.
    void prepare(VUrlRequest *req, Api::apis api, const QJsonObject &params,
                 const QString &upserver = QString()) const;

    // --- catalogue ---------------------------------------------------------
    QString url(Api::apis api) const;
    static QString url(Api::apis api, const QString &upserver);
    static QString path(Api::apis api);
    static bool isPost(Api::apis api);
    // False for the calls that change state on the server when carried out
    // (acts, upload registration, password change): those are never sent a
    // second time once they may have arrived.
    static bool isRepeatable(Api::apis api);
    // Form encoding: key=percent-encoded value&... in key order.
    static QString encodeParams(const QJsonObject &params);
    static QString encodeValue(const QJsonValue &value);

    // --- envelope ----------------------------------------------------------
    int checkCode(const QJsonObject &reply, bool hideLayer);
    int checkCode(const QJsonObject &reply);
    static int getCode(const QJsonObject &reply);
    static QString getMsg(const QJsonObject &reply);
    static QJsonObject getCustomData(const QJsonObject &reply);
    static QJsonValue getData(const QJsonObject &reply);
    static QString getToken(const QJsonObject &data);
    static QString getUpserver(const QJsonObject &data);
    static QJsonArray toArray(const QJsonValue &value);
    static bool isTrue(const QJsonValue &value);
    static M_info_file getInfoFile(const QJsonObject &data);
    // Temporary folders: the entries under "list", and one entry's detail.
    static QList<M_tmpdir_item> getTmpDirList(const QJsonValue &data);
    static M_tmpdir_info getTmpDirInfo(const QJsonValue &data);

    bool setUserInfo(const QJsonObject &data);
    static QJsonArray getSchools(const QJsonValue &data);

    // --- sign-in state -----------------------------------------------------
    QString token() const { return m_token; }
    void setToken(const QString &token) { m_token = token; }
    QString ssoAppId() const { return m_ssoAppId; }
    void setSsoAppId(const QString &id) { m_ssoAppId = id; }
    QString uploadServer() const { return m_uploadServer; }

    // What happens after a Code -1/-2 was stored as the last error: by default
    // the program quits and starts a fresh copy of itself (once per process).
    using RestartHandler = std::function<void(const QString &message)>;
    RestartHandler setRestartHandler(RestartHandler handler);
    static void restartApplication(const QString &message);

    // --- acts --------------------------------------------------------------
    void addAct(const QString &id);
    void addAct(const QString &id, int type, const QString &path, int wptype);
    void removeAct(const QString &id);
    QJsonObject getAct(const QString &id) const;
    QList<QJsonObject> acts() const { return m_pendingActs; }
    QStringList actIds() const;
    void setActResults(const QJsonArray &results) { m_actResults = results; }
    QJsonArray actResults() const { return m_actResults; }
    static QString getActError(const M_api_act &act);

    // --- pending upload cancellations (persisted in the settings store) ----
    void addCancel(const QJsonArray &array);
    void removeCancel(const QString &evtid);
    QJsonArray cancelList() const { return m_cancelList; }
    // Replaces the list with what the settings store holds.
    void loadCancel();

    // --- parameter builders ------------------------------------------------
    static QJsonObject params_user_ChgSchool(int schoolid);
    static QJsonObject params_user_Editpwd(const QString &oldPassword, const QString &newPassword,
                                           const QString &newPassword2);
    static QJsonObject params_file_getlist(const QString &filepath, const QString &searchkey, int visitlog,
                                           int filetype);
    static QJsonObject params_file_GetAllChild(const QString &filepath);
    static QJsonObject params_act_GetUploadLink(const QString &filepath, const QString &filename,
                                                qint64 filesize, int uptype);
    static QJsonObject params_file_ChkMD5(const QString &evtid, const QString &filemd5);
    static QJsonObject params_act_GetActStatus(const QStringList &ids);
    static QJsonObject params_act_AddDir(const QString &filepath, const QString &dirname);
    static QJsonObject params_act_Del(const QJsonArray &filelist);
    static QJsonObject params_act_Del(const QStringList &filelist);
    // filelist: objects {"id", "totype"} with totype "1" or "0".
    static QJsonObject params_act_Reduction(const QJsonArray &filelist);
    static QJsonObject params_act_AddTmpDir(const QString &filepath, const QString &dirname,
                                            const QString &fileid);
    // filelist: objects {"filepath", "newname"}.
    static QJsonObject params_act_ReName(const QJsonArray &filelist);
    static QJsonObject params_act_ReName(const QString &filepath, const QString &newname);
    static QJsonObject params_act_Remove(const QStringList &filelist);
    static QJsonObject params_act_AddDirs(const QString &filepath, const QStringList &dirs);
    // Copy carries "totype" as a decimal string, Move as a JSON number.
    static QJsonObject params_act_Copy(const QList<M_api_move> &items);
    static QJsonObject params_act_Move(const QList<M_api_move> &items);
    static QJsonObject params_file_CancelUpload(const QString &evtid);
    static QJsonObject params_file_info(const QString &fileid);
    static QJsonObject params_file_infobypath(const QString &filepath);
    static QJsonObject params_file_getrecyclelist(const QString &searchkey);
    static QJsonObject params_tmpdir_GetList();
    static QJsonObject params_tmpdir_getinfo(const QString &id);
    static QJsonObject params_user_LoginByToken(const QString &logintoken);
    // Encrypts the password; "appid" is the stored SSO application id.
    QJsonObject params_sso_GetLoginToken(const QString &account, const QString &password) const;
    static QJsonObject params_favourite_add(const QStringList &filelist);
    static QJsonObject params_favourite_del(const QStringList &filelist);
    static QJsonObject params_qx_GetDirQx(const QString &fileid);
    static QJsonObject params_act_ShareDiskTbLogList(const QDateTime &starttime);

    // The operator's web address sent as "redirect_uri" at sign-on.
    static QString redirectUri();

    QThreadPool *threadPool() { return &m_threadPool; }

private:
    explicit Api(QObject *parent = nullptr);
    void saveCancel();

    QThreadPool m_threadPool;
    QString m_token;
    QString m_ssoAppId;
    QList<QJsonObject> m_pendingActs;
    QJsonArray m_actResults;
    QString m_uploadServer;
    QJsonArray m_cancelList;
    RestartHandler m_restartHandler;
};

#endif // API_H
