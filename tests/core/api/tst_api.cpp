// The dispatcher against scripted loopback servers: every catalogue value's
// address and method on the wire, parameter encoding, the builders, the
// reaction to a lost sign-in, acts, and the pending upload cancellations.

#include "Api/api.h"
#include "DB/db_setting.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include "../request/scriptedhttpserver.h"
#include "apirunner.h"

#include <QJsonDocument>
#include <QMutex>
#include <QMetaEnum>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <utility>

Q_DECLARE_METATYPE(Api::apis)

namespace {
// Pool threads log as they run: the capture takes a lock.
QMutex capturedLock;
QStringList captured;
void captureMessages(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    QMutexLocker l(&capturedLock);
    captured << msg;
}
QStringList takeCaptured()
{
    QMutexLocker l(&capturedLock);
    return std::exchange(captured, QStringList());
}
}

class TestApi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    ScriptedHttpServer m_server;
    ScriptedHttpServer m_upload;
    QStringList m_restarts;

    static QJsonObject run(Api::apis api, const QJsonObject &params, const QString &upserver = QString())
    {
        return runApi(api, params, upserver);
    }

    static QJsonObject echoCode(int code) { return {{"Code", code}, {"Msg", "m"}}; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toLocal8Bit());
        initOrvelCore();
        QVERIFY(loadCryptoScript());
        VGlobalParameter::instance()->setServerRoot(m_server.root());
        m_server.answer(200, "{\"Code\":0,\"Msg\":\"api\"}");
        m_upload.answer(200, "{\"Code\":0,\"Msg\":\"upload\"}");
        Api::instance()->setRestartHandler([this](const QString &m) { m_restarts << m; });
        VUrlRequest::setDefaultTickInterval(200);
    }

    void init()
    {
        m_server.clear();
        m_upload.clear();
        m_restarts.clear();
    }

    void catalogue_data()
    {
        QTest::addColumn<Api::apis>("api");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("post");
        const QString A = "api", C = "client", S = "sso", U = "upload";
        struct Row { Api::apis api; const char *path; QString base; bool post; };
        const Row rows[] = {
            {Api::update, "update.json", C, false},
            {Api::user_login, "v1/user/info/login", A, true},
            {Api::user_GetMySchool, "v1/user/info/GetMySchool", A, false},
            {Api::user_ChgSchool, "v1/user/info/ChgSchool", A, true},
            {Api::user_islogin, "v1/user/info/islogin", A, false},
            {Api::user_GetLoginInfo, "v1/user/info/GetLoginInfo", A, false},
            {Api::user_loginout, "v1/user/info/loginout", A, false},
            {Api::user_Editpwd, "v1/user/info/Editpwd", A, true},
            {Api::file_getlist, "v1/wp/file/getlist", A, true},
            {Api::file_GetAllChild, "v1/wp/file/GetAllChild", A, true},
            {Api::file_ChkBlock, "v1/wp/file/ChkBlock", A, true},
            {Api::act_GetUploadLink, "v1/wp/act/GetUploadLink", A, true},
            {Api::file_ChkMD5, "v1/wp/file/ChkMD5", U, true},
            {Api::act_GetActStatus, "v1/wp/act/GetActStatus", A, true},
            {Api::act_add, "v1/wp/act/add", A, true},
            {Api::act_AddTmpDir, "v1/wp/act/add", A, true},
            {Api::act_ReName, "v1/wp/act/add", A, true},
            {Api::act_Remove, "v1/wp/act/add", A, true},
            {Api::act_GetDownLoadLink, "v1/wp/act/GetDownLoadLink", A, true},
            {Api::act_AddDirs, "v1/wp/act/add", A, true},
            {Api::act_Copy, "v1/wp/act/add", A, true},
            {Api::act_Move, "v1/wp/act/add", A, true},
            {Api::act_add23, "v1/wp/act/add", A, true},
            {Api::act_add24, "v1/wp/act/add", A, true},
            {Api::file_CancelUpload, "v1/wp/file/CancelUpload", U, true},
            {Api::file_info, "v1/wp/file/info", A, true},
            {Api::file_infobypath, "v1/wp/file/infobypath", A, true},
            {Api::file_getrecyclelist, "v1/wp/file/getrecyclelist", A, true},
            {Api::tmpdir_GetList, "v1/wp/tmpdir/GetList", A, true},
            {Api::tmpdir_getinfo, "v1/wp/tmpdir/getinfo", A, true},
            {Api::user_SsoAppID, "v1/user/info/SsoAppID", A, false},
            {Api::user_LoginByToken, "v1/user/info/LoginByToken", A, true},
            {Api::sso_GetLoginToken, "api/v1/sso/User/GetLoginToken", S, true},
            {Api::favourite_add, "v1/wp/favourite/add", A, true},
            {Api::favourite_del, "v1/wp/favourite/del", A, true},
            {Api::favourite_del2, "v1/wp/favourite/del2", A, true},
            {Api::favourite_list, "v1/wp/favourite/list", A, false},
            {Api::share_add, "v1/wp/share/add", A, true},
            {Api::share_del, "v1/wp/share/del", A, true},
            {Api::share_info, "v1/wp/share/info", A, true},
            {Api::share_info2, "v1/wp/share/info2", A, true},
            {Api::share_Verify, "v1/wp/share/Verify", A, true},
            {Api::share_filelist, "v1/wp/share/filelist", A, true},
            {Api::share_ChildList, "v1/wp/share/ChildList", A, true},
            {Api::share_GetDownUrl, "v1/wp/share/GetDownUrl", A, true},
            {Api::share_list, "v1/wp/share/list", A, false},
            {Api::qx_GetDirQx, "v1/wp/qx/GetDirQx", A, true},
            {Api::visit_list, "v1/wp/visit/list", A, true},
            {Api::act_ShareDiskTbLogList, "v1/wp/act/ShareDiskTbLogList", A, true},
            {Api::time_getnow, "v1/sys/time/getnow", A, false},
        };
        QCOMPARE(int(sizeof(rows) / sizeof(rows[0])), 50);
        for (const Row &r : rows)
            QTest::newRow(QMetaEnum::fromType<Api::apis>().valueToKey(r.api)) << r.api << QString(r.path) << r.base << r.post;
    }

    void catalogue()
    {
        QFETCH(Api::apis, api);
        QFETCH(QString, path);
        QFETCH(QString, base);
        QFETCH(bool, post);
        QCOMPARE(Api::isPost(api), post);
        const QString root = m_server.root();
        const QString expected = base == "api"      ? root + "api/" + path
                                 : base == "client" ? root + "client/" + path
                                 : base == "sso"    ? root + "sso/" + path
                                                    : m_upload.root() + path;
        QCOMPARE(Api::url(api, m_upload.root()), expected);

        // On the wire: the right server, path and method.
        const QJsonObject reply = run(api, {{"k", "v"}}, base == "upload" ? m_upload.root() : QString());
        ScriptedHttpServer &target = base == "upload" ? m_upload : m_server;
        ScriptedHttpServer &other = base == "upload" ? m_server : m_upload;
        QCOMPARE(target.count(), 1);
        QCOMPARE(other.count(), 0);
        const auto seen = target.requests().at(0);
        const QString prefix = base == "upload" ? "/" : "/" + base + "/";
        QCOMPARE(seen.method, QByteArray(post ? "POST" : "GET"));
        QCOMPARE(QString::fromUtf8(seen.target), prefix + path + (post ? "" : "?k=v&"));
        QCOMPARE(seen.body, QByteArray(post ? "k=v&" : ""));
        QCOMPARE(reply.value("Msg").toString(), base == "upload" ? QStringLiteral("upload") : QStringLiteral("api"));
        QVERIFY(Api::instance()->uploadServer().isEmpty());
    }

    void valuesOutsideTheCatalogue()
    {
        QCOMPARE(Api::instance()->url(Api::none), QString());
        QCOMPARE(Api::isPost(Api::none), false);
        QCOMPARE(Api::instance()->url(Api::apis(51)), QString());
        QCOMPARE(Api::isPost(Api::apis(51)), true);
        const QJsonObject r = run(Api::none, {});
        QCOMPARE(r.value("Code").toInt(), 99);
        QVERIFY(r.contains("customdata"));
    }

    void uploadServerOnlyForThatCall()
    {
        run(Api::file_ChkMD5, Api::params_file_ChkMD5("ev 1", "abc"), m_upload.root());
        QCOMPARE(m_upload.count(), 1);
        QCOMPARE(m_upload.requests().at(0).target, QByteArray("/v1/wp/file/ChkMD5"));
        QCOMPARE(m_upload.requests().at(0).body, QByteArray("evtid=ev%201&filemd5=abc&"));
        run(Api::file_info, Api::params_file_info("f1"));
        QCOMPARE(m_server.count(), 1);
        QCOMPARE(m_server.requests().at(0).target, QByteArray("/api/v1/wp/file/info"));
        QCOMPARE(m_upload.count(), 1);
        // The upload endpoints with no server named have no host to go to.
        QCOMPARE(Api::instance()->url(Api::file_CancelUpload), QStringLiteral("/v1/wp/file/CancelUpload"));
    }

    void encoding_data()
    {
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QString>("query");
        QTest::newRow("string as is") << QJsonObject{{"s", "a b&c=中/"}} << "s=a%20b%26c%3D%E4%B8%AD%2F&";
        QTest::newRow("unreserved kept") << QJsonObject{{"s", "A-z_0.9~"}} << "s=A-z_0.9~&";
        QTest::newRow("number 5") << QJsonObject{{"n", 5}} << "n=5&";
        QTest::newRow("string 5") << QJsonObject{{"n", "5"}} << "n=5&";
        QTest::newRow("negative") << QJsonObject{{"n", -3}} << "n=-3&";
        QTest::newRow("fraction") << QJsonObject{{"n", 2.5}} << "n=2.5&";
        QTest::newRow("large whole") << QJsonObject{{"n", 1733500000000.0}} << "n=1733500000000&";
        QTest::newRow("booleans") << QJsonObject{{"a", true}, {"b", false}} << "a=true&b=false&";
        QTest::newRow("null") << QJsonObject{{"z", QJsonValue()}} << "z=&";
        QTest::newRow("key order") << QJsonObject{{"b", "2"}, {"a", "1"}, {"c", "3"}} << "a=1&b=2&c=3&";
        const QJsonArray list{"/1/sharedisk/a", "/1/sharedisk/b"};
        QTest::newRow("array indented")
            << QJsonObject{{"filelist", list}}
            << "filelist=" + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)))) + "&";
        QTest::newRow("empty") << QJsonObject() << "";
    }

    void encoding()
    {
        QFETCH(QJsonObject, params);
        QFETCH(QString, query);
        QCOMPARE(Api::encodeParams(params), query);
    }

    void arrayTextIsIndentedJson()
    {
        const QJsonArray list{"a", "b"};
        QCOMPARE(Api::encodeValue(list), QStringLiteral("[\n    \"a\",\n    \"b\"\n]\n"));
        // What the server decodes is the array again.
        run(Api::act_Remove, Api::params_act_Remove({"/x/y", "/x/z"}));
        const QByteArray body = m_server.requests().at(0).body;
        QUrlQuery q(QString::fromUtf8(body));
        QCOMPARE(q.queryItemValue("acttype"), QStringLiteral("Remove"));
        const QJsonArray sent =
            QJsonDocument::fromJson(q.queryItemValue("filelist", QUrl::FullyDecoded).toUtf8()).array();
        QCOMPARE(sent, QJsonArray({"/x/y", "/x/z"}));
    }

    // What the builders must get right beyond restating the map: secrets
    // leave encrypted, sizes past 32 bits stay exact, and copy and move send
    // "totype" in the two forms the service reads.
    void builders()
    {
        VUtils *u = VUtils::instance();
        const QJsonObject pw = Api::params_user_Editpwd("old", "new", "new2");
        QCOMPARE(pw.keys(), QStringList({"npwd1", "npwd2", "opwd"}));
        QCOMPARE(u->toDecrypt(pw.value("opwd").toString()), QStringLiteral("old"));
        QCOMPARE(u->toDecrypt(pw.value("npwd1").toString()), QStringLiteral("new"));
        QCOMPARE(u->toDecrypt(pw.value("npwd2").toString()), QStringLiteral("new2"));
        QCOMPARE(Api::params_act_GetUploadLink("/d/", "a.txt", 5000000000LL, 2),
                 QJsonObject({{"filepath", "/d/"}, {"filename", "a.txt"}, {"filesize", "5000000000"}, {"uptype", "2"}}));
        M_api_move m;
        m.path = "/a";
        m.to = "/b/";
        m.toname = "c";
        m.totype = 1;
        const QJsonObject copy = Api::params_act_Copy({m});
        const QJsonObject move = Api::params_act_Move({m});
        QCOMPARE(copy.value("acttype").toString(), QStringLiteral("Copy"));
        QCOMPARE(move.value("acttype").toString(), QStringLiteral("Move"));
        QCOMPARE(copy.value("filelist").toArray().at(0).toObject().value("totype"), QJsonValue("1"));
        QCOMPARE(move.value("filelist").toArray().at(0).toObject().value("totype"), QJsonValue(1));
        QCOMPARE(move.value("filelist").toArray().at(0).toObject().value("to").toString(), QStringLiteral("/b/"));
        QCOMPARE(Api::params_act_ShareDiskTbLogList(QDateTime(QDate(2026, 3, 4), QTime(17, 5, 6))),
                 QJsonObject({{"starttime", "2026-03-04 17:05:06"}}));

        Api::instance()->setSsoAppId("33");
        const QJsonObject sso = Api::instance()->params_sso_GetLoginToken("demo", "demo123");
        QCOMPARE(sso.value("accout").toString(), QStringLiteral("demo"));
        QCOMPARE(u->toDecrypt(sso.value("pwd").toString()), QStringLiteral("demo123"));
        QCOMPARE(sso.value("appid").toString(), QStringLiteral("33"));
        QVERIFY(!sso.value("redirect_uri").toString().isEmpty());
    }

    void waitingLayer()
    {
        QSignalSpy waiting(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_waiting);
        auto *a = new VUrlRequest;
        Api::instance()->startApi(a, Api::user_islogin);
        QCOMPARE(waiting.count(), 1);
        QCOMPARE(waiting.at(0).at(0).toString(), QString());
        QCOMPARE(waiting.at(0).at(1).toBool(), false);
        auto *b = new VUrlRequest;
        Api::instance()->startApi(b, Api::user_islogin, false);
        QCOMPARE(waiting.count(), 1);
        QTRY_COMPARE(m_server.count(), 2);
        Api::instance()->threadPool()->waitForDone(5000);
    }

    void syncRequest()
    {
        const QJsonObject r = Api::instance()->startApiSync(Api::file_infobypath, Api::params_file_infobypath("/a b"));
        QCOMPARE(r.value("Msg").toString(), QStringLiteral("api"));
        QVERIFY(r.contains("customdata"));
        QCOMPARE(m_server.requests().at(0).body, QByteArray("filepath=%2Fa%20b&"));
    }

    void lostSignIn_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // empty: no restart
        QTest::newRow("expired") << echoCode(-1) << -1 << QStringLiteral("t.li登录失效");
        QTest::newRow("no school") << echoCode(-2) << -2 << QStringLiteral("t.li未选择学校");
        QTest::newRow("code as text") << QJsonObject{{"Code", "-1"}} << -1 << QStringLiteral("t.li登录失效");
        QTest::newRow("success") << echoCode(0) << 0 << QString();
        QTest::newRow("transport") << echoCode(99) << 99 << QString();
        QTest::newRow("no code") << QJsonObject{{"Msg", "x"}} << 0 << QString();
    }

    void lostSignIn()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(int, code);
        QFETCH(QString, message);
        UserInfo::instance()->loginname = QStringLiteral("t.li");
        db_setting *store = db_setting::instance();
        store->setLasterror(QString());
        store->addUser("auto", 1, 2, "pw", "1");
        QSignalSpy hide(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_hide);
        QCOMPARE(Api::instance()->checkCode(reply), code);
        QCOMPARE(hide.count(), 1);
        QCOMPARE(Api::instance()->checkCode(reply, false), code);
        QCOMPARE(hide.count(), 1);
        db_setting nextStart(store->filePath());
        if (message.isEmpty()) {
            QVERIFY(m_restarts.isEmpty());
            QCOMPARE(nextStart.lasterror, QString());
        } else {
            QCOMPARE(m_restarts, QStringList({message, message}));
            QCOMPARE(nextStart.lasterror, message);
            // The fresh copy must not sign straight back in.
            QCOMPARE(nextStart.getAll().at(0).toObject().value("logintype").toInt(), 1);
        }
    }

    void replyReaders()
    {
        QCOMPARE(Api::getMsg({{"Msg", 33}}), QStringLiteral("33"));
        QCOMPARE(Api::getMsg({{"Msg", "text"}}), QStringLiteral("text"));
        QCOMPARE(Api::getMsg({{"Msg", QJsonObject{{"upserver", "x"}}}}), QString());
        QCOMPARE(Api::getToken({{"token", "abc"}}), QStringLiteral("abc"));
        QCOMPARE(Api::getToken({{"other", "abc"}}), QString());
        QCOMPARE(Api::getUpserver({{"upserver", "http://h:1/"}}), QStringLiteral("http://h:1/"));
        QCOMPARE(Api::toArray(QJsonValue("[1,2]")), QJsonArray({1, 2}));
        QCOMPARE(Api::toArray(QJsonArray{3}), QJsonArray({3}));
        QVERIFY(Api::isTrue(1) && Api::isTrue("1") && Api::isTrue(true));
        QVERIFY(!Api::isTrue(0) && !Api::isTrue("0") && !Api::isTrue(QJsonValue()));
        QCOMPARE(Api::getCustomData({{"customdata", QJsonObject{{"a", 1}}}}), QJsonObject({{"a", 1}}));

        const QJsonArray schools = Api::getSchools(QJsonArray{
            QJsonObject{{"schoolid", 12}, {"schoolname", "一中"}, {"jiancheng", "YZ"}},
            QJsonObject{{"id", "13"}, {"schoolname", "二中"}, {"jiancheng", "EZ"}}});
        QCOMPARE(schools, QJsonArray({QJsonObject{{"id", "12"}, {"schoolname", "一中"}, {"jiancheng", "YZ"}},
                                      QJsonObject{{"id", "13"}, {"schoolname", "二中"}, {"jiancheng", "EZ"}}}));

        QVERIFY(Api::instance()->setUserInfo({{"id", 5}, {"loginname", "zs"}, {"schoolid", 12}, {"truename", "张三"}}));
        QCOMPARE(UserInfo::instance()->id, 5);
        QCOMPARE(UserInfo::instance()->loginname, QStringLiteral("zs"));
        QCOMPARE(UserInfo::instance()->truename, QStringLiteral("张三"));
    }

    void actErrors_data()
    {
        QTest::addColumn<int>("act");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<QString>("error");
        QTest::newRow("type 1 failed") << 1 << QJsonObject{{"code", 3}, {"msg", "已存在"}} << "已存在";
        QTest::newRow("type 1 ok") << 1 << QJsonObject{{"code", 0}, {"msg", "ok"}} << "";
        const QJsonArray list{QJsonObject{{"code", 0}, {"msg", "fine"}}, QJsonObject{{"code", 5}, {"msg", "冲突"}},
                              QJsonObject{{"code", 6}, {"msg", "later"}}};
        QTest::newRow("type 5 first failure") << 5 << QJsonObject{{"filelist", list}} << "冲突";
        QTest::newRow("type 7 first failure") << 7 << QJsonObject{{"filelist", list}} << "冲突";
        QTest::newRow("type 7 all ok") << 7 << QJsonObject{{"filelist", QJsonArray{QJsonObject{{"code", 0}}}}} << "";
        QTest::newRow("other type") << 3 << QJsonObject{{"code", 3}, {"msg", "x"}} << "";
    }

    void actErrors()
    {
        QFETCH(int, act);
        QFETCH(QJsonObject, data);
        QFETCH(QString, error);
        M_api_act a;
        a.act = act;
        a.data = data;
        QCOMPARE(Api::getActError(a), error);
    }

    void cancelsPersistThroughTheSettingsStore()
    {
        Api *api = Api::instance();
        db_setting *store = db_setting::instance();
        store->setCancle({});
        api->loadCancel();
        api->addCancel({QJsonObject{{"evtid", "e1"}, {"upserver", "http://127.0.0.1:1/"}},
                        QJsonObject{{"evtid", "e1"}, {"upserver", "other"}}, QJsonObject{{"noevt", 1}},
                        QJsonObject{{"evtid", "e2"}, {"upserver", "http://127.0.0.1:2/"}}});
        QCOMPARE(api->cancelList().size(), 2);
        QCOMPARE(store->getCancle(), api->cancelList());
        api->removeCancel("e1");
        QCOMPARE(store->getCancle().size(), 1);
        QCOMPARE(store->getCancle().at(0).toObject().value("upserver").toString(), QStringLiteral("http://127.0.0.1:2/"));
        // A restart restores from the same store.
        store->setCancle({QJsonObject{{"evtid", "r1"}, {"upserver", "u"}}, QJsonObject{{"evtid", "r1"}, {"upserver", "u"}}});
        api->loadCancel();
        QCOMPARE(api->cancelList(), QJsonArray({QJsonObject{{"evtid", "r1"}, {"upserver", "u"}}}));
        store->setCancle({});
        api->loadCancel();
    }

    void cancelUploadKeepsFailedOnesOnce()
    {
        Api *api = Api::instance();
        VGlobalConnect *hub = VGlobalConnect::instance();
        quint16 closed;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            closed = probe.serverPort();
        }
        const QString deadServer = QStringLiteral("http://127.0.0.1:%1/").arg(closed);
        api->addCancel({QJsonObject{{"evtid", "c1"}, {"upserver", deadServer}}});
        QSignalSpy layers(hub, &VGlobalConnect::signalLayer_err);
        hub->cancelUpload("c1", deadServer);
        QVERIFY(api->threadPool()->waitForDone(10000));
        QCoreApplication::processEvents();
        QCOMPARE(api->cancelList().size(), 1);
        QCOMPARE(db_setting::instance()->getCancle().size(), 1);

        // A cancel not yet in the list that fails is added, once.
        hub->cancelUpload("c2", deadServer);
        hub->cancelUpload("c2", deadServer);
        QVERIFY(api->threadPool()->waitForDone(10000));
        QCoreApplication::processEvents();
        QCOMPARE(api->cancelList().size(), 2);

        // Reaching the upload server removes it, whatever it answered.
        m_upload.answer(200, "{\"Code\":1,\"Msg\":\"unknown event\"}");
        hub->cancelUpload("c1", m_upload.root());
        QTRY_COMPARE(api->cancelList().size(), 1);
        QCOMPARE(m_upload.requests().at(0).target, QByteArray("/v1/wp/file/CancelUpload"));
        QCOMPARE(m_upload.requests().at(0).body, QByteArray("evtid=c1&"));
        m_upload.answer(200, "{\"Code\":0,\"Msg\":\"upload\"}");
        hub->cancelPendingUploads(); // c2 still pending, sent to its dead server
        QVERIFY(api->threadPool()->waitForDone(10000));
        QCoreApplication::processEvents();
        QCOMPARE(api->cancelList().size(), 1);
        QCOMPARE(layers.count(), 0);
        api->removeCancel("c2");
    }

    void folderActResult_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QString>("waiting");
        QTest::addColumn<QString>("act");
        const QString busy = QStringLiteral("服务器遇到意外情况，导致无法完成请求");
        QTest::newRow("accepted")
            << QJsonObject{{"Code", 0}, {"data", QJsonObject{{"evtid", "a1"}, {"msg", ""}}}} << QStringList()
            << QStringLiteral("队列任务处理中，请稍后") << "a1";
        QTest::newRow("accepted with text")
            << QJsonObject{{"Code", 0}, {"data", QJsonObject{{"evtid", "a2"}, {"msg", "已加入"}}}} << QStringList()
            << QStringLiteral("已加入") << "a2";
        QTest::newRow("failed upload, server overwhelmed")
            << QJsonObject{{"Code", 5}, {"data", QJsonObject{{"msg", busy}, {"bz", "upload"}}}}
            << QStringList({busy, QStringLiteral("文件夹数过多")}) << QString() << QString();
        QTest::newRow("http 500 of a folder upload")
            << QJsonObject{{"Code", 99}, {"Msg", busy}, {"customdata", QJsonObject{{"bz", "upload"}}}}
            << QStringList({busy, QStringLiteral("文件夹数过多")}) << QString() << QString();
        QTest::newRow("other failure")
            << QJsonObject{{"Code", 3}, {"data", QJsonObject{{"msg", "无权限"}, {"bz", "upload"}}}}
            << QStringList({QStringLiteral("无权限")}) << QString() << QString();
        QTest::newRow("same text, not an upload")
            << QJsonObject{{"Code", 5}, {"data", QJsonObject{{"msg", busy}, {"bz", "copy"}}}} << QStringList({busy})
            << QString() << QString();
    }

    void folderActResult()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(QStringList, errors);
        QFETCH(QString, waiting);
        QFETCH(QString, act);
        VGlobalConnect *hub = VGlobalConnect::instance();
        VGlobalParameter::instance()->setIsUploadPreparing(true);
        QSignalSpy err(hub, &VGlobalConnect::signalLayer_err);
        QSignalSpy wait(hub, &VGlobalConnect::signalLayer_waiting);
        hub->slotWpActResult(reply);
        QStringList seen;
        for (const auto &args : qAsConst(err))
            seen << args.at(0).toString();
        QCOMPARE(seen, errors);
        QCOMPARE(wait.count(), waiting.isEmpty() ? 0 : 1);
        if (!waiting.isEmpty())
            QCOMPARE(wait.at(0).at(0).toString(), waiting);
        QCOMPARE(VGlobalParameter::instance()->isUploadPreparing(), errors.isEmpty());
        QCOMPARE(Api::instance()->actIds(), act.isEmpty() ? QStringList() : QStringList{act});
        if (!act.isEmpty())
            Api::instance()->removeAct(act);
    }

    void dispatcherLogsCarryNoSecrets()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("orvel.*.debug=true"));
        takeCaptured();
        QtMessageHandler old = qInstallMessageHandler(captureMessages);
        m_server.setHandler([](const ScriptedHttpServer::Request &r) {
            ScriptedHttpServer::Response out;
            if (r.target.contains("LoginByToken"))
                out.body = "{\"Code\":0,\"Msg\":\"BEARER-SECRET\"}";
            else if (r.target.contains("GetLoginToken"))
                out.body = "{\"Code\":0,\"data\":{\"token\":\"LOGIN-SECRET\"}}";
            else
                out.body = "{\"Code\":0,\"Msg\":\"ok\"}";
            return out;
        });
        Api::instance()->setToken("TOKEN-SECRET");
        run(Api::sso_GetLoginToken, Api::instance()->params_sso_GetLoginToken("demo", "PWD-SECRET"));
        run(Api::user_LoginByToken, Api::params_user_LoginByToken("LOGIN-SECRET"));
        run(Api::user_Editpwd, Api::params_user_Editpwd("OLD-SECRET", "NEW-SECRET", "NEW-SECRET"));
        Api::instance()->setToken(QString());
        qInstallMessageHandler(old);
        QLoggingCategory::setFilterRules(QString());
        m_server.answer(200, "{\"Code\":0,\"Msg\":\"api\"}");
        const QString all = takeCaptured().join('\n');
        QVERIFY2(all.contains("GetLoginToken"), qPrintable(all));
        QVERIFY2(!all.contains("SECRET"), qPrintable(all));
        const QString encrypted = VUtils::instance()->toEncrypt("PWD-SECRET");
        QVERIFY(!all.contains(encrypted));
        QVERIFY(!all.contains(QString::fromLatin1(QUrl::toPercentEncoding(encrypted))));
    }
};

QTEST_GUILESS_MAIN(TestApi)
#include "tst_api.moc"
