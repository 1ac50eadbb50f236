// The act-result tracker against the stand-in service: told once at 99,
// open records and foreign ids ignored, the pending list kept in step, and
// the result delivered outside the poll that reported it.
#include "Api/api.h"
#include "Api/vacttracker.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "testhome.h"
#include "testserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

class TstVActTracker : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server{options()};
    QString token;

    static TestServer::Options options()
    {
        TestServer::Options o;
        o.actDelayMs = 400;
        return o;
    }
    // One round of the main window's act poll: every pending act's record
    // goes through the hub, open or finished.
    QJsonArray poll()
    {
        const QStringList ids = Api::instance()->actIds();
        if (ids.isEmpty())
            return QJsonArray();
        const QJsonObject r = server.call("api/v1/wp/act/GetActStatus", {{"ids", ids.join(',')}}, token);
        const QJsonArray acts = r.value("Msg").toArray();
        for (const QJsonValue &v : acts)
            emit VGlobalConnect::instance()->signalWp_result(v.toObject());
        return acts;
    }
    // Sends act/add through the dispatcher and answers its reply.
    QJsonObject addAct(const QJsonObject &params)
    {
        auto *req = new VUrlRequest;
        QSignalSpy spy(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult));
        Api::instance()->startApi(req, Api::act_add, params, false);
        if (!spy.wait(20000))
            return QJsonObject();
        return spy.first().first().toJsonObject();
    }

private slots:
    void initTestCase()
    {
        initOrvelCore();
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
        token = server.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
        Api::instance()->setToken(token);
    }

    void toldOnceAtNinetyNine()
    {
        VActTracker mine;
        VActTracker other;
        QSignalSpy told(&mine, &VActTracker::signalFinished);
        QSignalSpy otherTold(&other, &VActTracker::signalFinished);
        Api::instance()->addAct(QStringLiteral("someone-elses-act"));

        const QJsonObject reply = addAct(Api::params_act_AddDir("/1001/sharedisk", QStringLiteral("追踪")));
        QString msg;
        const QString id = mine.trackReply(reply, {{"kind", "adddir"}, {"name", "追踪"}}, &msg);
        QVERIFY2(!id.isEmpty(), qPrintable(msg));
        QVERIFY(Api::instance()->actIds().contains(id));

        // open records: nothing, however often they come
        QJsonArray acts = poll();
        QCOMPARE(acts.size(), 1); // the foreign id is unknown to the server
        QCOMPARE(acts.at(0).toObject().value("status").toInt(), 0);
        poll();
        QCoreApplication::processEvents();
        QCOMPARE(told.size(), 0);

        // finished: told once, after the act left the pending list
        QTRY_VERIFY_WITH_TIMEOUT((poll(), told.size() == 1), 20000);
        QVERIFY(!Api::instance()->actIds().contains(id));
        const M_api_act act = told.first().at(0).value<M_api_act>();
        QCOMPARE(act.id, id);
        QCOMPARE(act.status, 99);
        QCOMPARE(told.first().at(1).toMap().value("name").toString(), QStringLiteral("追踪"));
        QCOMPARE(VActTracker::outcome(act).ok(), true);

        // the same finished record again (a poll that still had it): silence
        QJsonObject again = acts.at(0).toObject();
        again["status"] = 99;
        emit VGlobalConnect::instance()->signalWp_result(again);
        QCoreApplication::processEvents();
        QCOMPARE(told.size(), 1);
        QCOMPARE(otherTold.size(), 0);
        // an id this tracker does not own stays pending for its owner
        emit VGlobalConnect::instance()->signalWp_result(
            QJsonObject{{"id", "someone-elses-act"}, {"status", 99}, {"act", 1}});
        QCoreApplication::processEvents();
        QVERIFY(Api::instance()->actIds().contains(QStringLiteral("someone-elses-act")));
        Api::instance()->removeAct(QStringLiteral("someone-elses-act"));
    }

    void deliveredOutsideThePoll()
    {
        // The poll emits records in a loop; an owner that opens a dialog for
        // its result must not run inside that loop.
        VActTracker t(nullptr, false);
        t.track(QStringLiteral("evt-1"), {{"kind", "remove"}});
        QSignalSpy told(&t, &VActTracker::signalFinished);
        bool insidePoll = false;
        bool seenInside = false;
        connect(&t, &VActTracker::signalFinished, this, [&] { seenInside = insidePoll; });
        insidePoll = true;
        t.slotWpResult(QJsonObject{{"id", "evt-1"}, {"status", 99}, {"act", 5}});
        t.slotWpResult(QJsonObject{{"id", "evt-1"}, {"status", 99}, {"act", 5}});
        insidePoll = false;
        QCOMPARE(told.size(), 0);
        QTRY_COMPARE(told.size(), 1);
        QVERIFY(!seenInside);
        QVERIFY(!t.isTracking(QStringLiteral("evt-1")));
    }

    void failedRepliesRegisterNothing_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("envelope failure") << QJsonObject{{"Code", 1}, {"Msg", "参数错误：缺少dirname"}}
                                          << "参数错误：缺少dirname";
        QTest::newRow("transport failure") << QJsonObject{{"Code", 99}, {"Msg", "网络连接失败"}} << "网络连接失败";
        QTest::newRow("success without id") << QJsonObject{{"Code", 0}, {"data", QJsonObject{{"msg", ""}}}}
                                            << "操作失败，请稍后重试";
        QTest::newRow("data message") << QJsonObject{{"Code", 2}, {"data", QJsonObject{{"msg", "文件夹数过多"}}}}
                                      << "文件夹数过多";
    }
    void failedRepliesRegisterNothing()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(QString, message);
        VActTracker t(nullptr, false);
        const QStringList before = Api::instance()->actIds();
        QString msg;
        QVERIFY(t.trackReply(reply, {}, &msg).isEmpty());
        QCOMPARE(msg, message);
        QCOMPARE(t.pendingCount(), 0);
        QCOMPARE(Api::instance()->actIds(), before);
    }

    void outcomeSortsItems()
    {
        // a real copy with a clash, a missing source and a success
        QVERIFY(!server.uploadFile(token, "/1001/sharedisk", "结果.txt", "r").isEmpty());
        const QJsonArray list{
            QJsonObject{{"filepath", "/1001/sharedisk/结果.txt"}, {"to", "/1001/sharedisk"}, {"toname", ""}, {"totype", "0"}},
            QJsonObject{{"filepath", "/1001/sharedisk/没有.txt"}, {"to", "/1001/sharedisk"}, {"toname", ""}, {"totype", "0"}},
            QJsonObject{{"filepath", "/1001/sharedisk/结果.txt"}, {"to", "/1001/sharedisk/追踪"}, {"toname", ""}, {"totype", "0"}}};
        const QJsonObject reply = addAct({{"acttype", "Copy"}, {"filelist", list}});
        VActTracker t;
        QSignalSpy told(&t, &VActTracker::signalFinished);
        QVERIFY(!t.trackReply(reply, {{"kind", "copy"}}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT((poll(), told.size() == 1), 20000);
        const VActTracker::Outcome o = VActTracker::outcome(told.first().at(0).value<M_api_act>());
        QCOMPARE(o.conflicts.size(), 1);
        QCOMPARE(o.failures.size(), 1);
        QCOMPARE(o.failures.at(0).toObject().value("code").toInt(), 2);
        QCOMPARE(o.done.size(), 1);
        QVERIFY(!o.ok());
    }
};

QTEST_GUILESS_MAIN(TstVActTracker)
#include "tst_vacttracker.moc"
