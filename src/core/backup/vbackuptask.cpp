#include "backup/vbackuptask.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QtConcurrent>

#include <memory>

#include "DB/db_self.h"
#include "backup/vbackupjob.h"
#include "backup/vbackuppath.h"
#include "context/userinfo.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcBackup, "orvel.backup")

namespace {

constexpr int kCompareChunk = 400;
constexpr int kFlushMs = 2000;
// QTimer counts in int milliseconds; longer waits are cut into pieces.
constexpr qint64 kTimerPiece = 3600000;
const char *const kBadPath = "路径不合法";
const char *const kBadFolder = "目录配置有误";

QString logId(const QString &owner, const QString &serverPath)
{
    return QString::fromLatin1(
        QCryptographicHash::hash((owner + QLatin1Char('|') + serverPath).toUtf8(), QCryptographicHash::Md5).toHex());
}

// The folder of a server path ("/a/b/c.txt" -> "/a/b").
QString parentOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QString();
}

// Strictly under root once links are followed: the deepest existing folder
// of target must resolve inside root.
bool insideRoot(const QString &canonicalRoot, const QString &target)
{
    QString dir = QFileInfo(target).absolutePath();
    while (!dir.isEmpty() && !QFileInfo::exists(dir)) {
        const int slash = dir.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return false;
        dir = dir.left(slash);
    }
    const QString real = QFileInfo(dir).canonicalFilePath();
    if (real.isEmpty())
        return false;
    if (QFileInfo(target).isSymLink())
        return false;
    return real == canonicalRoot || real.startsWith(canonicalRoot + QLatin1Char('/'));
}

} // namespace

VBackupTask::VBackupTask(int id, db_self *store, QObject *parent) : QObject(parent), m_id(id), m_store(store)
{
    m_school = QString::number(UserInfo::instance()->schoolid);
    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, &VBackupTask::onPollTimer);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_cfg.isopen && m_cfg.status == Error)
            startFetch();
    });
    m_flushTimer.setInterval(kFlushMs);
    m_storePool.setMaxThreadCount(1);
    connect(&m_flushTimer, &QTimer::timeout, this, &VBackupTask::flushStore);
    connect(&m_compareWatcher, &QFutureWatcherBase::finished, this, &VBackupTask::onCompared);
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalSynRestart, this,
            [this](const QString &who, bool deldb) {
                if (who != owner())
                    return;
                // the program is closing (or the owner starts over): downloads
                // stop and leave the queue; their records stay for next time
                stopWork();
                if (deldb)
                    m_store->deleteLogs(owner(), 0);
                if (m_cfg.status == Working || m_cfg.status == Fetching)
                    setStatus(m_cfg.isopen ? Waiting : Off);
            });
    connect(VGlobalConnect::instance(), &VGlobalConnect::signalSynStartDownload, this, [this](const QString &id) {
        if (m_admitted.contains(id))
            startJob(id);
    });
}

VBackupTask::~VBackupTask()
{
    shutdown();
}

QString VBackupTask::sectionName() const
{
    return m_id == 1 ? QStringLiteral("公共网盘") : QString();
}

QString VBackupTask::sectionCode() const
{
    return m_id == 1 ? QStringLiteral("sharedisk") : QString();
}

QString VBackupTask::statusText(int status)
{
    switch (status) {
    case Error:
        return QStringLiteral("出错");
    case Off:
        return QStringLiteral("未开启");
    case Waiting:
        return QStringLiteral("等待备份");
    case Working:
        return QStringLiteral("备份中");
    case Fetching:
        return QStringLiteral("请求数据");
    case Idle:
        return QStringLiteral("暂无任务");
    default:
        return QString();
    }
}

QString VBackupTask::intervalText(int minutes)
{
    if (minutes < 60)
        return QStringLiteral("%1分钟").arg(minutes);
    if (minutes < 1440)
        return QStringLiteral("%1小时").arg(minutes / 60);
    return QStringLiteral("%1天").arg(minutes / 1440);
}

qint64 VBackupTask::intervalMs(int minutes)
{
    return qint64(minutes) * 60000;
}

QString VBackupTask::checkConfig(const M_bak_config &cfg)
{
    if (cfg.localpath.isEmpty() || !QFileInfo(cfg.localpath).isDir())
        return QString::fromUtf8(kBadFolder);
    if (cfg.time <= 0)
        return QStringLiteral("轮询时间配置有误");
    return QString();
}

void VBackupTask::load()
{
    m_cfg = M_bak_config::fromStore(m_store->getAdminbak(), m_id);
    if (m_cfg.isopen && checkConfig(m_cfg).isEmpty()) {
        // Switched on when the program ended: carry on, leftovers first.
        m_cfg.status = Waiting;
        schedulePoll(m_restartDelayMs);
    } else {
        m_cfg.status = m_cfg.isopen ? Waiting : Off;
    }
    emit signalConfigChanged();
    emit signalStatusChanged(m_cfg.status);
}

bool VBackupTask::save()
{
    const bool ok = m_store->setAdminbak(M_bak_config::toStore(m_store->getAdminbak(), m_id, m_cfg));
    if (!ok)
        qCWarning(lcBackup) << "backup configuration not stored";
    emit signalConfigChanged();
    return ok;
}

void VBackupTask::setStatus(int status)
{
    if (m_cfg.status == status)
        return;
    m_cfg.status = status;
    emit signalStatusChanged(status);
}

void VBackupTask::notifyItems()
{
    emit signalItemsChanged();
    const int count = m_items.size();
    if (count != m_reportedCount) {
        m_reportedCount = count;
        emit VGlobalConnect::instance()->signalTaskChangeByBak(count);
    }
}

void VBackupTask::setStoreFlushMs(int ms)
{
    m_flushTimer.setInterval(ms);
}

QString VBackupTask::switchOn(bool startNow)
{
    M_bak_config probe = m_cfg;
    const QString wrong = checkConfig(probe);
    if (!wrong.isEmpty()) {
        m_cfg.isopen = false;
        setStatus(Off);
        save();
        return wrong;
    }
    m_cfg.isopen = true;
    m_retryCount = 0;
    if (m_cfg.status == Off)
        setStatus(Waiting);
    save();
    if (startNow)
        startFetch();
    if (m_cfg.status != Fetching && m_cfg.status != Working)
        schedulePoll(intervalMs(m_cfg.time));
    return QString();
}

void VBackupTask::switchOff()
{
    m_cfg.isopen = false;
    m_pollTimer.stop();
    m_retryTimer.stop();
    m_nextDue = 0;
    stopWork();
    setStatus(Off);
    save();
}

bool VBackupTask::applyConfig(const QString &localpath, int minutes)
{
    const bool changed = !m_cfg.localpath.isEmpty()
        && QDir::cleanPath(QFileInfo(m_cfg.localpath).absoluteFilePath())
            != QDir::cleanPath(QFileInfo(localpath).absoluteFilePath());
    if (changed) {
        m_cfg.isfirst = true;
        m_cfg.lasttime = QDateTime();
        m_cfg.localpath = localpath;
        m_cfg.time = minutes;
        switchOff();
        // the old folder's records mean nothing for the new one
        m_store->deleteLogs(owner(), 0);
        return true;
    }
    const bool newInterval = minutes != m_cfg.time;
    m_cfg.localpath = localpath;
    m_cfg.time = minutes;
    save();
    if (newInterval && m_cfg.isopen && m_cfg.status != Fetching && m_cfg.status != Working)
        schedulePoll(intervalMs(m_cfg.time));
    return false;
}

void VBackupTask::resetAnswer(bool accepted)
{
    if (!accepted)
        return; // stays in error; the next poll asks again
    m_cfg.isfirst = true;
    m_cfg.lasttime = QDateTime();
    switchOff();
}

qint64 VBackupTask::nextPollInMs() const
{
    return m_nextDue > 0 ? qMax<qint64>(0, m_nextDue - QDateTime::currentMSecsSinceEpoch()) : -1;
}

void VBackupTask::schedulePoll(qint64 ms)
{
    m_nextDue = QDateTime::currentMSecsSinceEpoch() + ms;
    m_pollTimer.start(int(qMin(ms, kTimerPiece)));
}

void VBackupTask::onPollTimer()
{
    const qint64 left = m_nextDue - QDateTime::currentMSecsSinceEpoch();
    if (left > 0) {
        m_pollTimer.start(int(qMin(left, kTimerPiece)));
        return;
    }
    m_nextDue = 0;
    if (!m_cfg.isopen)
        return;
    startFetch();
    // the next poll counts from this one; a busy task just waits for it
    schedulePoll(intervalMs(m_cfg.time));
}

bool VBackupTask::rootMissing()
{
    return m_cfg.localpath.isEmpty() || !QFileInfo(m_cfg.localpath).isDir();
}

void VBackupTask::folderLost()
{
    // An unplugged drive is not made again under its mount point.
    qCWarning(lcBackup) << "backup folder missing" << m_cfg.localpath;
    m_lastError = QString::fromUtf8(kBadFolder);
    switchOff();
    emit signalMessage(m_lastError);
}

bool VBackupTask::startFetch()
{
    if (!m_cfg.isopen || m_shutdown)
        return false;
    if (m_cfg.status != Idle && m_cfg.status != Waiting && m_cfg.status != Error)
        return false;
    if (rootMissing()) {
        folderLost();
        return false;
    }
    ++m_gen;
    m_retryTimer.stop();
    m_passRequests = 0;
    m_passDownloads = 0;
    m_passSkipped = 0;
    m_upserver.clear();
    m_fetching = true;
    setStatus(Fetching);
    if (m_cfg.isfirst)
        fullRun();
    else
        changeRun();
    return true;
}

void VBackupTask::call(Api::apis api, const QJsonObject &params, Reply done)
{
    ++m_passRequests;
    auto *req = new VUrlRequest;
    const quint64 gen = m_gen;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this,
            [this, gen, done](const QJsonObject &re) {
                if (gen != m_gen || m_shutdown)
                    return;
                Api::instance()->checkCode(re, false);
                done(re);
            });
    Api::instance()->startApi(req, api, params, false);
}

void VBackupTask::fail(const QString &message)
{
    // Failures wait before the next try, longer each time, never longer
    // than the interval itself.
    m_fetching = false;
    m_lastError = message;
    qCWarning(lcBackup) << "backup fetch failed:" << message;
    setStatus(Error);
    if (!m_cfg.isopen)
        return;
    const qint64 cap = qMax<qint64>(m_retryBaseMs, intervalMs(m_cfg.time));
    qint64 delay = m_retryBaseMs;
    for (int i = 0; i < m_retryCount && delay < cap; ++i)
        delay *= 2;
    delay = qMin(delay, cap);
    ++m_retryCount;
    m_retryTimer.start(int(qMin(delay, kTimerPiece)));
}

// --- full run ---------------------------------------------------------------

void VBackupTask::fullRun()
{
    call(Api::time_getnow, QJsonObject(), [this](const QJsonObject &re) { onTime(re); });
}

void VBackupTask::onTime(const QJsonObject &re)
{
    if (Api::getCode(re) != 0) {
        fail(Api::getMsg(re).isEmpty() ? QStringLiteral("服务器时间获取失败") : Api::getMsg(re));
        return;
    }
    const QJsonValue data = Api::getData(re);
    const QDateTime serverTime = VUtils::parseDateTime(data.isString() ? data.toString() : Api::getMsg(re));
    if (!serverTime.isValid()) {
        fail(QStringLiteral("服务器时间无效"));
        return;
    }
    const QString folder = QLatin1Char('/') + m_school + QLatin1Char('/') + sectionCode();
    call(Api::file_GetAllChild, Api::params_file_GetAllChild(folder),
         [this, serverTime](const QJsonObject &r) { onAllFiles(r, serverTime); });
}

void VBackupTask::onAllFiles(const QJsonObject &re, const QDateTime &serverTime)
{
    if (Api::getCode(re) != 0) {
        fail(Api::getMsg(re));
        return;
    }
    storeRecords(Api::getData(re).toObject().value(QStringLiteral("list")).toArray(), {}, serverTime, true);
}

// --- change run -------------------------------------------------------------

void VBackupTask::changeRun()
{
    // Leftovers of an earlier run (also from before a restart) go first;
    // the change log is asked all the same.
    requeueLeftovers();
    // Right after a full run the listing already holds what came before its
    // server time; later runs ask a little further back.
    QDateTime since = m_cfg.lasttime.isValid()
        ? m_cfg.lasttime.addSecs(m_lastWasFull ? 0 : -kOverlapSeconds)
        : QDateTime();
    if (!since.isValid()) {
        m_cfg.isfirst = true;
        fullRun();
        return;
    }
    m_askedSince = since;
    call(Api::act_ShareDiskTbLogList, Api::params_act_ShareDiskTbLogList(since),
         [this](const QJsonObject &re) { onActs(re); });
}

void VBackupTask::onActs(const QJsonObject &re)
{
    const int code = Api::getCode(re);
    if (code != 0) {
        if (code == 1 && m_id == 1) {
            m_fetching = false;
            m_lastError = QStringLiteral("与服务器同步时间超过30天，将重新开始备份所有文件！");
            setStatus(Error);
            emit signalAskReset(m_lastError);
            return;
        }
        fail(Api::getMsg(re));
        return;
    }
    const QJsonObject data = Api::getData(re).toObject();
    const QDateTime serverTime = VUtils::parseDateTime(data.value(QStringLiteral("servertime")).toString());
    if (!serverTime.isValid()) {
        fail(QStringLiteral("服务器时间无效"));
        return;
    }
    // Later acts on the same path replace earlier ones.
    QMap<QString, QJsonObject> paths;
    const QJsonArray acts = data.value(QStringLiteral("list")).toArray();
    m_replyActs.clear();
    for (const QJsonValue &v : acts) {
        const QJsonObject act = v.toObject();
        const QString actId = act.value(QStringLiteral("id")).toVariant().toString();
        if (!actId.isEmpty()) {
            m_replyActs.insert(actId);
            if (m_seenActs.contains(actId))
                continue; // handled by the previous pass
        }
        // before what the previous pass asked for: that pass (or the
        // listing) covered it
        const QDateTime actTime = VUtils::parseDateTime(act.value(QStringLiteral("dotime")).toString());
        if (m_coveredFrom.isValid() && actTime.isValid() && actTime < m_coveredFrom)
            continue;
        const int type = act.value(QStringLiteral("eventtype")).toVariant().toInt();
        const QJsonObject result =
            QJsonDocument::fromJson(act.value(QStringLiteral("doresult")).toString().toUtf8()).object();
        const QString user = act.value(QStringLiteral("addusername")).toString();
        auto add = [&](const QString &path, const QString &id) {
            if (!path.isEmpty())
                paths.insert(path, QJsonObject{{QStringLiteral("addusername"), user}, {QStringLiteral("id"), id}});
        };
        const QJsonArray items = result.value(QStringLiteral("filelist")).toArray();
        switch (type) {
        case 3:
        case 4:
            for (const QJsonValue &e : items) {
                const QJsonObject o = e.toObject();
                if (o.value(QStringLiteral("code")).toVariant().toInt() != 0 || !o.contains(QStringLiteral("code")))
                    continue;
                const QString to = o.value(QStringLiteral("to")).toString();
                const QString name = o.value(QStringLiteral("toname")).toString();
                if (!to.isEmpty() && !name.isEmpty())
                    add(to + (to.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name,
                        o.value(QStringLiteral("newid")).toVariant().toString());
            }
            break;
        case 7:
            for (const QJsonValue &e : items) {
                const QJsonObject o = e.toObject();
                if (o.value(QStringLiteral("code")).toVariant().toInt() != 0 || !o.contains(QStringLiteral("code")))
                    continue;
                const QString parent = parentOf(o.value(QStringLiteral("path")).toString());
                const QString name = o.value(QStringLiteral("newname")).toString();
                if (!parent.isEmpty() && !name.isEmpty())
                    add(parent + QLatin1Char('/') + name, o.value(QStringLiteral("id")).toVariant().toString());
            }
            break;
        case 8:
            if (result.value(QStringLiteral("code")).toVariant().toInt() == 0
                && result.contains(QStringLiteral("code")))
                add(result.value(QStringLiteral("filepath")).toString(),
                    result.value(QStringLiteral("fileid")).toVariant().toString());
            break;
        case 9:
            for (const QJsonValue &e : items) {
                const QJsonObject o = e.toObject();
                if (o.value(QStringLiteral("code")).toVariant().toInt() != 0 || !o.contains(QStringLiteral("code")))
                    continue;
                const QString id = o.value(QStringLiteral("id")).toVariant().toString();
                const QString path = o.value(QStringLiteral("path")).toString();
                if (!path.isEmpty())
                    add(path, id);
                else if (!id.isEmpty())
                    paths.insert(QStringLiteral("#") + id,
                                 QJsonObject{{QStringLiteral("addusername"), user}, {QStringLiteral("id"), id}});
            }
            break;
        default:
            break;
        }
    }
    if (paths.isEmpty()) {
        m_seenActs = m_replyActs;
        m_coveredFrom = m_askedSince;
        m_lastWasFull = false;
        m_cfg.lasttime = serverTime;
        m_retryCount = 0;
        save();
        m_fetching = false;
        checkPassEnd();
        return;
    }
    resolvePaths(paths, serverTime);
}

// Each changed path is looked up again: a folder (moved, copied, restored)
// is expanded into its files, a file brings its current size and digest,
// and a path gone since is skipped.
void VBackupTask::resolvePaths(const QMap<QString, QJsonObject> &paths, const QDateTime &serverTime)
{
    struct Pending
    {
        int left = 0;
        bool failed = false;
        QString error;
        QMap<QString, M_info_file> files; // by path, in path order
    };
    auto state = std::make_shared<Pending>();
    state->left = paths.size();
    auto oneDone = [this, state, serverTime] {
        if (--state->left > 0)
            return;
        if (state->failed) {
            fail(state->error);
            return;
        }
        storeRecords(QJsonArray(), state->files.values(), serverTime, false);
    };
    auto transportFailed = [state](const QJsonObject &re) {
        // Code 99 is a transport failure: the pass is tried again later.
        if (Api::getCode(re) == 99) {
            state->failed = true;
            state->error = Api::getMsg(re);
            return true;
        }
        return false;
    };
    for (auto it = paths.begin(); it != paths.end(); ++it) {
        const QString key = it.key();
        const bool byId = key.startsWith(QLatin1Char('#'));
        const Api::apis api = byId ? Api::file_info : Api::file_infobypath;
        const QJsonObject params =
            byId ? Api::params_file_info(key.mid(1)) : Api::params_file_infobypath(key);
        call(api, params, [this, state, oneDone, transportFailed](const QJsonObject &re) {
            if (transportFailed(re)) {
                oneDone();
                return;
            }
            if (Api::getCode(re) != 0) {
                oneDone(); // gone from the server since: nothing to back up
                return;
            }
            const QJsonValue d = Api::getData(re);
            const M_info_file info = Api::getInfoFile(d.isObject() ? d.toObject() : QJsonObject());
            if (info.fullpath.isEmpty()) {
                oneDone();
                return;
            }
            if (!info.isdir) {
                state->files.insert(info.fullpath, info);
                oneDone();
                return;
            }
            ++state->left;
            call(Api::file_GetAllChild, Api::params_file_GetAllChild(info.fullpath),
                 [state, oneDone, transportFailed](const QJsonObject &r) {
                     if (!transportFailed(r) && Api::getCode(r) == 0) {
                         const QJsonArray list = Api::getData(r).toObject().value(QStringLiteral("list")).toArray();
                         for (const QJsonValue &v : list) {
                             const M_info_file f(v.toObject());
                             if (!f.isdir)
                                 state->files.insert(f.fullpath, f);
                         }
                     }
                     oneDone();
                 });
            oneDone();
        });
    }
}

// --- records ----------------------------------------------------------------

M_db_syn VBackupTask::makeLog(const QString &owner, const M_info_file &info)
{
    M_db_syn r;
    r.owner = owner;
    r.id = logId(owner, info.fullpath);
    r.dotime = QDateTime::currentDateTime();
    r.addusername = info.addusername;
    r.fullpath = info.fullpath;
    r.fileid = info.id;
    r.dotype = 8;
    r.status = 0;
    r.domsg = QString::fromUtf8(QJsonDocument(info.toJson()).toJson(QJsonDocument::Compact));
    return r;
}

M_info_file VBackupTask::infoOf(const M_db_syn &log, int *tries)
{
    const QJsonObject o = QJsonDocument::fromJson(log.domsg.toUtf8()).object();
    if (tries)
        *tries = o.value(QStringLiteral("tries")).toInt();
    M_info_file f(o);
    if (f.fullpath.isEmpty())
        f.fullpath = log.fullpath;
    if (f.id.isEmpty())
        f.id = log.fileid;
    return f;
}

template <typename T, typename Work, typename Done>
void VBackupTask::inStore(Work work, Done done, bool counted)
{
    // Store work of a pass runs in order on one thread of its own, on a
    // connection of that thread: thousands of rows never hold up the GUI.
    const QString dir = m_store->userDir();
    auto *watcher = new QFutureWatcher<T>(this);
    const quint64 gen = m_gen;
    if (counted)
        ++m_storeJobs;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done, gen, counted] {
        watcher->deleteLater();
        if (counted)
            --m_storeJobs;
        if (!m_shutdown && (!counted || gen == m_gen))
            done(watcher->result());
        checkPassEnd();
    });
    watcher->setFuture(QtConcurrent::run(&m_storePool, [dir, work] {
        db_self store(dir);
        return work(store);
    }));
}

void VBackupTask::storeRecords(const QJsonArray &list, const QList<M_info_file> &files, const QDateTime &serverTime,
                               bool full)
{
    const QString own = owner();
    inStore<StoredBatch>(
        [list, files, own, full](db_self &store) {
            StoredBatch b;
            QList<M_info_file> all = files;
            for (const QJsonValue &v : list) {
                const M_info_file f(v.toObject());
                if (!f.isdir)
                    all << f;
            }
            QList<M_db_syn> logs;
            logs.reserve(all.size());
            b.items.reserve(all.size());
            for (const M_info_file &f : qAsConst(all)) {
                Item item;
                item.info = f;
                item.log = makeLog(own, f);
                item.total = f.filesize;
                logs << item.log;
                b.items << item;
            }
            // records of an earlier listing that never started are replaced
            if (full)
                store.deleteLogs(own, 0);
            b.ok = store.addLogs(logs);
            return b;
        },
        [this, serverTime](const StoredBatch &b) { recordsStored(b, serverTime); });
}

void VBackupTask::recordsStored(const StoredBatch &b, const QDateTime &serverTime)
{
    if (!b.ok) {
        fail(QStringLiteral("备份记录写入失败"));
        return;
    }
    m_seenActs = m_cfg.isfirst ? QSet<QString>() : m_replyActs;
    m_coveredFrom = m_cfg.isfirst ? serverTime : m_askedSince;
    m_lastWasFull = m_cfg.isfirst;
    m_cfg.isfirst = false;
    m_cfg.lasttime = serverTime;
    m_retryCount = 0;
    save();
    m_fetching = false;
    enqueue(b.items, false);
}

void VBackupTask::requeueLeftovers()
{
    const QString own = owner();
    inStore<QList<Item>>(
        [own](db_self &store) {
            QList<Item> again;
            for (const M_db_syn &l : store.getLogs(own)) {
                Item item;
                item.log = l;
                item.info = infoOf(l, &item.tries);
                item.total = item.info.filesize;
                if (l.status == 0 || (l.status == -1 && item.tries < kMaxTries))
                    again << item;
            }
            return again;
        },
        [this](const QList<Item> &again) {
            qCDebug(lcBackup) << "数据库遗留" << again.size();
            enqueue(again, true);
        });
}

void VBackupTask::enqueue(const QList<Item> &items, bool leftovers)
{
    if (items.isEmpty())
        return;
    for (Item item : items) {
        item.leftover = leftovers;
        m_incoming.append(item);
    }
    if (m_cfg.status == Fetching || m_cfg.status == Idle || m_cfg.status == Waiting)
        setStatus(Working);
    takeIncoming();
}

// Large batches join the live items a slice at a time, so the event loop
// keeps turning while twenty thousand files arrive.
void VBackupTask::takeIncoming()
{
    constexpr int kSlice = 2000;
    int n = 0;
    QList<Item> fresh;
    while (!m_incoming.isEmpty() && n++ < kSlice) {
        Item item = m_incoming.takeFirst();
        auto it = m_items.find(item.log.id);
        if (it != m_items.end()) {
            if (item.leftover)
                continue; // already on its way
            // one live item per file: a newer version replaces the older one
            it->info = item.info;
            it->log = item.log;
            if (it->state == ItemLoading || it->state == ItemRequesting)
                it->again = true;
            continue;
        }
        item.state = ItemWaiting;
        m_items.insert(item.log.id, item);
        fresh << item;
    }
    if (!m_incoming.isEmpty())
        QTimer::singleShot(0, this, &VBackupTask::takeIncoming);
    if (fresh.isEmpty()) {
        checkPassEnd();
        return;
    }
    m_toCompare += fresh;
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
    notifyItems();
    compareNext();
}

// --- compare on the pool -------------------------------------------------------

void VBackupTask::compareNext()
{
    if (m_comparing || m_toCompare.isEmpty() || m_shutdown)
        return;
    const QList<Item> chunk = m_toCompare.mid(0, kCompareChunk);
    m_toCompare.erase(m_toCompare.begin(), m_toCompare.begin() + chunk.size());
    m_comparing = true;
    const QString root = QDir::cleanPath(m_cfg.localpath);
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    const QString school = m_school;
    const QString section = sectionCode();
    m_compareWatcher.setFuture(QtConcurrent::run([chunk, root, canonicalRoot, school, section]() {
        QList<Item> out = chunk;
        for (Item &item : out) {
            QString error;
            item.target = VBackupPath::localTarget(root, school, section, item.info.fullpath, &error);
            if (item.target.isEmpty() || canonicalRoot.isEmpty() || !insideRoot(canonicalRoot, item.target)) {
                item.target.clear();
                item.state = ItemFailed;
                item.error = QString::fromUtf8(kBadPath);
                continue;
            }
            const QFileInfo fi(item.target);
            // Equal size first: only then is the digest worth computing.
            if (fi.isFile() && fi.size() == item.info.filesize && !item.info.md5.isEmpty()
                && VUtils::fileSha256(item.target).compare(item.info.md5, Qt::CaseInsensitive) == 0) {
                item.state = ItemDone;
                item.done = item.total = fi.size();
            }
        }
        return out;
    }));
}

void VBackupTask::onCompared()
{
    m_comparing = false;
    const QList<Item> chunk = m_compareWatcher.result();
    for (const Item &c : chunk) {
        auto it = m_items.find(c.log.id);
        if (it == m_items.end())
            continue; // cancelled meanwhile
        it->target = c.target;
        if (c.state == ItemFailed) {
            failItem(c.log.id, c.error, true);
        } else if (c.state == ItemDone) {
            ++m_passSkipped;
            finishItem(c.log.id);
        } else {
            m_waiting.enqueue(c.log.id);
        }
    }
    notifyItems();
    pump();
    compareNext();
    checkPassEnd();
}

// --- downloads --------------------------------------------------------------

void VBackupTask::pump()
{
    if (m_shutdown || !m_cfg.isopen)
        return;
    if (m_upserver.isEmpty()) {
        if (m_waiting.isEmpty() || m_linkAsked)
            return;
        m_linkAsked = true;
        call(Api::act_GetDownLoadLink, QJsonObject(), [this](const QJsonObject &re) {
            m_linkAsked = false;
            QString server;
            if (Api::getCode(re) == 0) {
                const QJsonValue d = Api::getData(re);
                server = Api::getUpserver(d.isObject() ? d.toObject() : re.value(QStringLiteral("Msg")).toObject());
            }
            if (server.isEmpty()) {
                // every waiting file would fail the same way: the pass ends in
                // error and is tried again later, records kept
                const QString msg = Api::getMsg(re).isEmpty() ? QStringLiteral("下载地址获取失败") : Api::getMsg(re);
                stopWork();
                fail(msg);
                return;
            }
            m_upserver = server;
            pump();
        });
        return;
    }
    VGlobalQueue *queue = VGlobalQueue::instance();
    while (!m_waiting.isEmpty() && m_admitted.size() < kParallel) {
        const QString id = m_waiting.dequeue();
        if (!m_items.contains(id))
            continue;
        m_admitted.insert(id);
        queue->addBak(owner(), id); // starts it through signalSynStartDownload
    }
}

void VBackupTask::startJob(const QString &id)
{
    auto it = m_items.find(id);
    if (it == m_items.end() || m_jobs.contains(id)) {
        return;
    }
    if (rootMissing()) {
        folderLost();
        return;
    }
    it->state = ItemLoading;
    it->again = false;
    const QString url = VUtils::downloadUrl(m_upserver, it->info.id, Api::instance()->token());
    auto *job = new VBackupJob(id, this);
    m_jobs.insert(id, job);
    connect(job, &VBackupJob::progress, this, &VBackupTask::onJobProgress);
    connect(job, &VBackupJob::ended, this, &VBackupTask::onJobEnded);
    ++m_passDownloads;
    job->start(url, it->target, id);
    notifyItems();
}

void VBackupTask::onJobProgress(const QString &id, qint64 done, qint64 total)
{
    auto it = m_items.find(id);
    if (it == m_items.end())
        return;
    it->done = done;
    it->total = total;
    emit signalItemProgress(id, done, total);
}

void VBackupTask::onJobEnded(const QString &id, bool ok, const QString &message)
{
    if (VBackupJob *job = m_jobs.take(id))
        job->deleteLater();
    // every end frees the slot
    m_admitted.remove(id);
    VGlobalQueue::instance()->removeBak(owner(), id, false);
    auto it = m_items.find(id);
    if (it != m_items.end()) {
        if (it->state == ItemStopped) {
            m_items.erase(it);
        } else if (it->again) {
            it->again = false;
            it->state = ItemWaiting;
            m_waiting.enqueue(id);
        } else if (ok) {
            finishItem(id);
        } else if (it->state != ItemStopped) {
            failItem(id, message, false);
        }
    }
    notifyItems();
    pump();
    checkPassEnd();
}

void VBackupTask::finishItem(const QString &id)
{
    const Item item = m_items.take(id);
    m_doneLogs << item.log;
    m_doneInfos << item.info;
    m_donePaths << item.target;
    emit signalItemDone(item.log, item.info, item.target);
}

void VBackupTask::failItem(const QString &id, const QString &message, bool forGood)
{
    Item item = m_items.take(id);
    QJsonObject o = QJsonDocument::fromJson(item.log.domsg.toUtf8()).object();
    o.insert(QStringLiteral("tries"), item.tries + 1);
    item.log.domsg = QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    item.log.status = forGood ? -3 : -1;
    item.log.errmsg = message;
    qCWarning(lcBackup) << "backup of" << item.log.fullpath << "failed:" << message;
    m_failedLogs << item.log;
}

void VBackupTask::flushStore()
{
    if (m_flushing || (m_doneLogs.isEmpty() && m_failedLogs.isEmpty())) {
        if (m_items.isEmpty() && !m_flushing)
            m_flushTimer.stop();
        return;
    }
    m_flushing = true;
    FlushBatch batch{std::move(m_doneLogs), std::move(m_doneInfos), std::move(m_donePaths), std::move(m_failedLogs)};
    m_doneLogs.clear();
    m_doneInfos.clear();
    m_donePaths.clear();
    m_failedLogs.clear();
    inStore<FlushBatch>(
        [batch](db_self &store) {
            FlushBatch left;
            if (!store.finishLogs(batch.done, batch.infos, batch.paths)) {
                left.done = batch.done;
                left.infos = batch.infos;
                left.paths = batch.paths;
            }
            if (!store.updateLogs(batch.failed))
                left.failed = batch.failed;
            return left;
        },
        [this](const FlushBatch &left) {
            m_flushing = false;
            // what did not go in is tried again with the next flush
            m_doneLogs = left.done + m_doneLogs;
            m_doneInfos = left.infos + m_doneInfos;
            m_donePaths = left.paths + m_donePaths;
            m_failedLogs = left.failed + m_failedLogs;
            emit signalStoreFlushed();
        },
        false);
}

void VBackupTask::flushStoreNow()
{
    m_storePool.waitForDone();
    if (!m_doneLogs.isEmpty() && m_store->finishLogs(m_doneLogs, m_doneInfos, m_donePaths)) {
        m_doneLogs.clear();
        m_doneInfos.clear();
        m_donePaths.clear();
    }
    if (!m_failedLogs.isEmpty() && m_store->updateLogs(m_failedLogs))
        m_failedLogs.clear();
}

void VBackupTask::checkPassEnd()
{
    if (m_fetching || m_comparing || m_storeJobs > 0 || !m_incoming.isEmpty() || !m_toCompare.isEmpty()
        || !m_items.isEmpty())
        return;
    if (m_cfg.status != Working && m_cfg.status != Fetching)
        return;
    // the pass ends once the store holds its results
    if (m_flushing)
        return;
    if (!m_doneLogs.isEmpty() || !m_failedLogs.isEmpty()) {
        flushStore();
        return;
    }
    m_flushTimer.stop();
    qCDebug(lcBackup) << "backup pass done, isfirst" << m_cfg.isfirst << "downloads" << m_passDownloads
                      << "skipped" << m_passSkipped;
    setStatus(Idle);
    notifyItems();
    emit signalPassFinished();
}

void VBackupTask::stopWork()
{
    ++m_gen;
    m_fetching = false;
    m_linkAsked = false;
    m_toCompare.clear();
    m_incoming.clear();
    m_waiting.clear();
    m_admitted.clear();
    VGlobalQueue::instance()->removeBak(owner(), QString(), false);
    const auto jobs = m_jobs;
    for (VBackupJob *job : jobs) {
        auto it = m_items.find(job->id());
        if (it != m_items.end())
            it->state = ItemStopped;
        job->stop(false); // the temporary file stays for the next run
    }
    // items without a job go; running ones leave when their job has stopped
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (!m_jobs.contains(it.key()))
            it = m_items.erase(it);
        else
            ++it;
    }
    flushStore();
    notifyItems();
}

void VBackupTask::shutdown()
{
    if (m_shutdown)
        return;
    m_shutdown = true;
    m_pollTimer.stop();
    m_retryTimer.stop();
    m_flushTimer.stop();
    ++m_gen;
    if (m_comparing)
        m_compareWatcher.waitForFinished();
    const auto jobs = m_jobs;
    m_jobs.clear();
    for (VBackupJob *job : jobs) {
        job->disconnect(this);
        job->stopAndWait();
        delete job;
    }
    m_admitted.clear();
    VGlobalQueue::instance()->removeBak(owner(), QString(), false);
    flushStoreNow();
}

QList<VBackupTask::Item> VBackupTask::items(int offset, int count) const
{
    QList<Item> out;
    int index = 0;
    auto take = [&](const Item &item) {
        if (index++ >= offset && out.size() < count)
            out << item;
    };
    for (auto it = m_jobs.begin(); it != m_jobs.end() && out.size() < count; ++it)
        if (m_items.contains(it.key()))
            take(m_items.value(it.key()));
    for (const QString &id : m_waiting) {
        if (out.size() >= count)
            break;
        if (m_items.contains(id) && !m_jobs.contains(id))
            take(m_items.value(id));
    }
    // still being compared: no target yet
    for (auto it = m_items.begin(); it != m_items.end() && out.size() < count; ++it)
        if (!m_jobs.contains(it.key()) && it->target.isEmpty())
            take(it.value());
    return out;
}
