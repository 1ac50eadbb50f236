#pragma once
// Helpers of the list-page tests (recycle bin, favourites, recent): waiting
// for a page to settle or reload, finding the dialog it opened, the texts of
// the toasts, and server acts run to their end.
#include "VWidgets/vlistpage.h"
#include "VWidgets/vprompt.h"
#include "Api/api.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "lists/vpagedlist.h"
#include "testserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace ListPageTest {

// Points the client at the server and signs the dispatcher in as that
// user (token and user info); answers the token.
inline QString signInClient(const TestServer &server, const QString &user, const QString &password)
{
    VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    const QString token = server.signIn(user, password);
    if (token.isEmpty())
        return token;
    Api::instance()->setToken(token);
    const QJsonObject info = server.call(QStringLiteral("api/v1/user/info/GetLoginInfo"), {}, token, false);
    Api::instance()->setUserInfo(Api::getData(info).toObject());
    UserInfo::instance()->username = user;
    return token;
}

// A server seeded with the demo tree.
inline TestServer::Options demoTree(int actDelayMs = 100)
{
    TestServer::Options o;
    o.seedDemo = true;
    o.actDelayMs = actDelayMs;
    return o;
}

// Starts the server and signs the client in there as the demo teacher; a
// restart the client asks for is ignored. Answers the token.
inline QString startDemo(TestServer &server)
{
    Api::instance()->setRestartHandler([](const QString &) {});
    if (!server.start()) {
        qWarning() << server.errorString();
        return QString();
    }
    return signInClient(server, QStringLiteral("demo"), QStringLiteral("demo123"));
}

// No list request in flight, no sort running, every row of the page built.
inline bool settled(VListPage *p)
{
    return QTest::qWaitFor([p] { return !p->isLoading() && !p->model()->isSorting() && !p->isBuilding(); }, 20000);
}

// Runs trigger and waits for the list reply it asked for and its rows.
inline bool listed(VListPage *p, const std::function<void()> &trigger)
{
    QSignalSpy spy(p, &VListPage::signalListed);
    trigger();
    return spy.wait(20000) && settled(p);
}

// The visible child dialog of that type (and object name), waiting for it.
template <typename T>
T *visibleChild(QWidget *parent, const QString &name = QString())
{
    T *found = nullptr;
    (void)QTest::qWaitFor(
        [&] {
            for (T *d : parent->findChildren<T *>(name))
                if (d->isVisible())
                    found = d;
            return found != nullptr;
        },
        20000);
    return found;
}

// Presses OK on the visible prompt of that object name.
inline bool confirmPrompt(QWidget *parent, const QString &name)
{
    VPrompt *d = visibleChild<VPrompt>(parent, name);
    if (d)
        d->okButton()->click();
    return d != nullptr;
}

// The first argument of every signal the spy caught, as text.
inline QStringList texts(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &a : spy)
        out << a.at(0).toString();
    return out;
}

inline QString jsonText(const QJsonArray &a)
{
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

// Sends "v1/wp/act/add" and waits until the act is done.
inline bool runAct(const TestServer &server, const QString &token, const QVariantMap &params)
{
    const QString id =
        server.call("api/v1/wp/act/add", params, token).value("data").toObject().value("evtid").toString();
    return !id.isEmpty() && server.waitAct(token, id, 30000).value("status").toInt() == 99;
}

// The full paths of a folder's items, as the service lists them.
inline QJsonArray listedPaths(const TestServer &server, const QString &token, const QString &folder,
                              const QString &key = QStringLiteral("fullpath"))
{
    QJsonArray out;
    const QJsonArray list = server.call("api/v1/wp/file/getlist", {{"filepath", folder}}, token)
                                .value("data").toObject().value("list").toArray();
    for (const QJsonValue &v : list)
        out.append(v.toObject().value(key).toVariant().toString());
    return out;
}

} // namespace ListPageTest
