#pragma once
// signInClient(): points the client's requests at a running TestServer and
// signs in there as the demo teacher; answers the token (empty on failure,
// the reason in *err).
// startSignedIn(): starts the server and signs the demo teacher in there;
// with pointClient the client's own requests go to it with that token.
// startClientCore(): the client's core against a started server, signed
// out: core and sign-in script set up, restart requests collected in
// *restarts instead of carried out, request ticks of tickMs.
// ServedClient: the members of a test class whose client talks to a
// TestServer of its own, in an isolated HOME (a second base of the class,
// after QObject).
// runApi(): sends one request through the dispatcher, the way a page does,
// and waits for its answer (a nested event loop; QTRY fails the test when
// none comes). params and custom are the request's parameters and custom
// data; upserver names an upload server for the upload-server calls.
#include "Api/api.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "testhome.h"
#include "testserver.h"

#include <QJsonObject>
#include <QObject>
#include <QtTest>

struct ServedClient
{
    TestHome m_home;
    TestServer m_server;
    QString m_token;
};

inline QJsonObject runApi(Api::apis api, const QJsonObject &params = {}, const QString &upserver = QString(),
                          const QJsonObject &custom = {}, int timeoutMs = 15000)
{
    auto *req = new VUrlRequest;
    if (!custom.isEmpty())
        req->addCustomData(custom);
    QJsonObject result;
    bool done = false;
    QObject ctx;
    QObject::connect(req, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult), &ctx,
                     [&](const QJsonObject &r) {
                         result = r;
                         done = true;
                     });
    if (upserver.isEmpty())
        Api::instance()->startApi(req, api, params, false);
    else
        Api::instance()->startApi(req, api, upserver, params, false);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(done, timeoutMs); }();
    return result;
}

inline QString signInClient(const TestServer &server, QString *err)
{
    VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    const QString token = server.signIn(QStringLiteral("demo"), QStringLiteral("demo123"), 0, err);
    Api::instance()->setToken(token);
    return token;
}

inline QString startSignedIn(TestServer &server, QString *err, bool pointClient = true)
{
    if (!server.start()) {
        *err = server.errorString();
        return QString();
    }
    if (pointClient)
        return signInClient(server, err);
    return server.signIn(QStringLiteral("demo"), QStringLiteral("demo123"), 0, err);
}

inline bool startClientCore(TestServer &server, QStringList *restarts, int tickMs, QString *err)
{
    initOrvelCore();
    if (!loadCryptoScript()) {
        *err = QStringLiteral("the sign-in script did not load");
        return false;
    }
    if (!server.start()) {
        *err = server.errorString();
        return false;
    }
    VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    Api::instance()->setRestartHandler([restarts](const QString &m) { *restarts << m; });
    VUrlRequest::setDefaultTickInterval(tickMs);
    return true;
}
