// A listing with hostile server paths ("..", "a/../../x", backslashes,
// drive forms, NUL, another school, a folder that is a link leading out of
// the backup folder): every such record fails as "路径不合法" and is never
// tried again, nothing is written outside the backup folder, and the pass
// still ends. The stand-in service refuses such names, so a scripted server
// answers here.

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "Api/api.h"
#include "DB/db_self.h"
#include "backup/vbackuptask.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "utils/vutils.h"

#include "../request/scriptedhttpserver.h"

namespace {

QByteArray envelope(const QJsonValue &data)
{
    return QJsonDocument(QJsonObject{{"Code", 0}, {"Msg", "ok"}, {"data", data}}).toJson(QJsonDocument::Compact);
}

QJsonObject file(const QString &path, const QByteArray &content)
{
    return QJsonObject{{"id", QString::number(qHash(path))},
                       {"filename", path.section(QLatin1Char('/'), -1)},
                       {"fullpath", path},
                       {"filesize", content.size()},
                       {"isdir", false},
                       {"md5", QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex())}};
}

QStringList allEntries(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

} // namespace

class TstBackupHostile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initOrvelCore();
        QVERIFY(loadCryptoScript());
    }

    void hostilePathsStayOutside()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/root");
        const QString outside = tmp.path() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(root));
        QVERIFY(QDir().mkpath(outside));
        // a folder inside the backup that leads out of it
        QVERIFY(QFile::link(outside, root + QStringLiteral("/link")));
        // the one good file is already there, equal: nothing to download
        const QByteArray good("good content");
        QFile g(root + QStringLiteral("/ok.txt"));
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(good);
        g.close();
        const QStringList before = allEntries(tmp.path());

        const QStringList hostile{QStringLiteral("/1001/sharedisk/../x.txt"),
                                  QStringLiteral("/1001/sharedisk/a/../../x.txt"),
                                  QStringLiteral("/1001/sharedisk/a\\..\\..\\x.txt"),
                                  QStringLiteral("/1001/sharedisk/C:/x.txt"),
                                  QStringLiteral("/1001/sharedisk//x.txt"),
                                  QStringLiteral("/1001/sharedisk/a") + QChar(0) + QStringLiteral("b.txt"),
                                  QStringLiteral("/1002/sharedisk/x.txt"),
                                  QStringLiteral("/1001/sharedisk/link/x.txt"),
                                  QStringLiteral("/1001/sharedisk/..")};
        QJsonArray list;
        for (const QString &p : hostile)
            list.append(file(p, "bad"));
        list.append(file(QStringLiteral("/1001/sharedisk/ok.txt"), good));

        ScriptedHttpServer server;
        server.setHandler([&](const ScriptedHttpServer::Request &r) {
            ScriptedHttpServer::Response out;
            if (r.target.contains("getnow"))
                out.body = envelope(QStringLiteral("2026-01-01 10:00:00"));
            else if (r.target.contains("GetAllChild"))
                out.body = envelope(QJsonObject{{"list", list}});
            else
                out.status = 404;
            return out;
        });
        VGlobalParameter::instance()->setServerRoot(server.root());
        Api::instance()->setToken(QStringLiteral("t"));

        db_self store(tmp.path() + QStringLiteral("/user"));
        VBackupTask task(1, &store);
        task.setSchool(QStringLiteral("1001"));
        task.setStoreFlushMs(20);
        task.applyConfig(root, 60);
        QCOMPARE(task.switchOn(false), QString());
        QSignalSpy done(&task, &VBackupTask::signalPassFinished);
        QVERIFY(task.startFetch());
        QVERIFY(done.wait(30000));
        QCOMPARE(task.passDownloads(), 0);
        QCOMPARE(task.passSkipped(), 1);
        // the store's own folder aside, the tree is as it was
        auto withoutStore = [&](QStringList l) {
            QStringList out;
            for (const QString &p : l)
                if (!p.startsWith(tmp.path() + QStringLiteral("/user")))
                    out << p;
            return out;
        };
        QCOMPARE(withoutStore(allEntries(tmp.path())), withoutStore(before));
        // every hostile record failed for good, with the reason
        const QList<M_db_syn> left = store.getLogs(QStringLiteral("1"));
        QCOMPARE(left.size(), hostile.size());
        for (const M_db_syn &l : left) {
            QCOMPARE(l.status, -3);
            QCOMPARE(l.errmsg, QStringLiteral("路径不合法"));
        }
        // a later pass does not take them up again
        const int requests = server.count();
        server.setHandler([](const ScriptedHttpServer::Request &r) {
            ScriptedHttpServer::Response out;
            if (r.target.contains("ShareDiskTbLogList"))
                out.body = envelope(QJsonObject{{"list", QJsonArray()}, {"servertime", "2026-01-01 10:05:00"}});
            else
                out.status = 404;
            return out;
        });
        QVERIFY(task.startFetch());
        QVERIFY(done.wait(30000));
        QCOMPARE(server.count() - requests, 1);
        QCOMPARE(task.passDownloads(), 0);
        task.shutdown();
    }
};

QTEST_GUILESS_MAIN(TstBackupHostile)
#include "tst_backuphostile.moc"
