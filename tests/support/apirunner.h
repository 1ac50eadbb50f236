#pragma once
// signInClient(): points the client's requests at a running TestServer and
// signs in there as the demo teacher; answers the token (empty on failure,
// the reason in *err).
// runApi(): sends one request through the dispatcher, the way a page does,
// and waits for its answer (a nested event loop; QTRY fails the test when
// none comes). params and custom are the request's parameters and custom
// data; upserver names an upload server for the upload-server calls.
#include "Api/api.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "testserver.h"

#include <QJsonObject>
#include <QObject>
#include <QtTest>

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
