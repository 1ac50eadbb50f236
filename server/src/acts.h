#pragma once
// Asynchronous acts ("v1/wp/act/add"): each request becomes an act record
// that a background runner finishes after the configured delay, with a
// result per item. Upload events are acts too (type 8); the upload servers
// finish those.
#include "auth.h"

#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <condition_variable>
#include <mutex>
#include <thread>

class Router;

enum ActType {
    ActAddDir = 1,
    ActAddDirs = 2,
    ActCopy = 3,
    ActMove = 4,
    ActRemove = 5,
    ActDel = 6,
    ActReName = 7,
    ActUpload = 8,
    ActReduction = 9,
    ActAddTmpDir = 10,
};

class Acts
{
public:
    void start();
    void stop();
    void wake();

private:
    void loop();
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    bool m_woken = false;
};

namespace acts {

void registerRoutes(Router &main);
QString create(const Session &s, int act, const QString &acttype, const QJsonObject &params, const QString &ip,
               qint64 dueMs);
void finish(const QString &id, const QJsonObject &data, const QJsonObject &result);
QJsonObject record(const QVariantMap &row);
// Runs one due act now (the runner calls it).
void run(const QString &id);

} // namespace acts
