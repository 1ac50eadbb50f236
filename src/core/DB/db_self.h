#pragma once

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class QThreadPool;

#include <functional>

#include "records/m_db_file.h"
#include "records/m_db_syn.h"
#include "records/m_info_file.h"
#include "records/m_page.h"

// The signed-in user's local store: the transfer log (file.db, one row per
// upload or download and a small key-value table) and the backup log
// (syn.db). Every operation works in a transaction; syn.db is opened and
// closed per operation, file.db stays open for the store's life (db_open.h). Lives on the GUI thread; large batches of new transfer
// rows are written on a thread of its own.
class db_self : public QObject
{
    Q_OBJECT
public:
    // The store of the signed-in user (D/users/U/S), built on first use.
    static db_self *instance();

    // A store over the given user directory (the singleton uses the signed-in
    // user's; tests and tools pass their own).
    explicit db_self(const QString &userDir, QObject *parent = nullptr);
    ~db_self() override;

    // False when file.db or syn.db could not be opened or set up; the reason
    // was reported through signalInitError.
    bool isReady() const { return m_ready; }
    QString initError() const { return m_initError; }
    int fileDbVersion();

    QList<M_db_file> getDownloads();
    QList<M_db_file> getUploads();
    QList<M_db_file> getDone();
    M_db_file getFile(int id);
    bool setDone(int id, const QString &filename, const QString &localpath);
    bool setDoneMc(int id, int ismc);
    bool updateFile(const M_db_file &file);
    bool deleteFile(int id);
    bool deleteFiles(const QList<int> &ids);
    bool clearDoneRows();
    bool clearDownloadRows();
    bool clearUploadRows();
    void vacuum();
    // The same, for each file whose free pages make a quarter of it or more.
    void vacuumIfNeeded();

    // Per-user state in file.db's "other" table. Keys are known by number;
    // the row carries the key's name. Pending upload cancellations are kept
    // by the settings store, not here.
    enum OtherKey {
        other_cancle = 1,
        other_config = 2,
        other_adminbak = 3,
        other_lastvisit = 4,
    };
    static QString otherKeyName(OtherKey key);
    // The stored text, decrypted; empty when there is no row or it does not
    // decrypt.
    QString getOther(OtherKey key);
    // Stores value encrypted, replacing an earlier one. False when nothing
    // was stored (the store or the encryption failed).
    bool setOther(OtherKey key, const QString &value);
    // The last view of the main window ("leftmenu", "path"); empty when none.
    QJsonObject getLastvisit();
    bool setLastvisit(const QJsonObject &last);
    // The backup task configuration, kept as the backup page writes it.
    QString getAdminbak();
    bool setAdminbak(const QString &text);

    // --- backup log and history (syn.db, db_self_syn.cpp) -------------------
    // Log statuses the backup writes: 0 to do, -1 failed (tried again on a
    // later pass), -3 refused for good, 99 done.
    // Inserts the records in one transaction; a record whose id is already
    // stored replaces the old row (a file queued again).
    bool addLogs(const QList<M_db_syn> &list);
    // Records of the owner still to do (status 0).
    int countPending(const QString &owner);
    // Unfinished records of the owner (status other than 99), oldest first.
    QList<M_db_syn> getLogs(const QString &owner);
    // One transaction whatever the number of ids.
    bool setStatus(const QStringList &ids, int status);
    // Writes status, errmsg and domsg of each record, by id.
    bool updateLogs(const QList<M_db_syn> &list);
    bool deleteLogs(const QString &owner, int status);
    // One history row per pair (the i-th log with the i-th file and, when
    // given, the i-th local path); a row already there is replaced.
    bool insertHistory(const QList<M_db_syn> &logs, const QList<M_info_file> &files,
                       const QStringList &localPaths = QStringList());
    // Marks the logs done and writes their history in one transaction.
    bool finishLogs(const QList<M_db_syn> &logs, const QList<M_info_file> &files,
                    const QStringList &localPaths = QStringList());
    // One page of the owners' history (all owners when the list is empty),
    // newest first unless asked otherwise. A page past the end gives page 1.
    M_page getHistory(M_page page, const QStringList &owners = QStringList(), bool newestFirst = true);
    bool clearHistory();
    bool clearHistory(const QStringList &owners);

    QString filePath() const { return m_filePath; }
    QString userDir() const { return m_userDir; }
    QString synPath() const { return m_synPath; }

    // Connecting the hub after construction: the singleton does it itself.
    void connectHub();

    // Batches handed to addFilesInBackground and not reported yet.
    int pendingWrites() const { return m_writesPending; }

public slots:
    int addFiles(QList<M_db_file> list, int index, bool islast);
    // The same work on the store's writer thread (a batch of 10 000 rows and
    // the vacuum after it take longer than a frame): still one transaction
    // per batch, batches in the order of the calls; the new rows and
    // signalAddCount are reported on this object's thread once stored. (The
    // hub's signalDbselfAddFiles stays synchronous: its callers read the new
    // rows right after emitting it.)
    void addFilesInBackground(QList<M_db_file> list, int index, bool islast);

signals:
    void signalAddCount(int index, int result, bool islast);
    // "数据库更新异常，请重启再试": the store could not be set up. Emitted
    // queued, so a window that connects right after instance() still sees it.
    void signalInitError(QString message);

private slots:
    // Reports the batches the writer has finished, oldest first.
    void reportStored();

private:
    struct Batch
    {
        bool opened = false;
        bool ok = false;
        QList<M_db_file> kept;
    };
    struct Stored
    {
        Batch batch;
        int index = 0;
        bool islast = false;
    };
    // Steps 1-6 of a batch on the given connection (any thread).
    static Batch storeBatch(QSqlDatabase &db, const QList<M_db_file> &list);
    // The same with connections of the calling thread made for it, and the vacuum.
    static Batch storeBatchApart(const QString &filePath, const QString &synPath, const QString &name,
                                 const QList<M_db_file> &list);
    int finishBatch(const Batch &b, int index, bool islast);
    bool initFileDb();
    bool setUpFileDb();
    bool initSynDb();
    void upgradeFileDb(QSqlDatabase &db);
    QList<M_db_file> readList(const QString &sql, const QString &failText, bool resetStatus);
    bool exec(const QString &sql, const QVariantList &values, const QString &failText = QString(),
              int *rowsAffected = nullptr);
    void reportError(const QString &text);
    static M_db_file fromQuery(const QSqlQuery &q);
    bool synInsertHistory(QSqlQuery &q, const QList<M_db_syn> &logs, const QList<M_info_file> &files,
                          const QStringList &localPaths);
    bool synExec(const QString &sql, const QVariantList &values);
    bool synBatch(const QString &sql, const QList<QVariantList> &columns);
    bool synRun(const QString &sql, const std::function<bool(QSqlQuery &)> &bindAndRun);
    void reportSynError();

    QSqlDatabase m_errorDb;
    QSqlDatabase m_settingDb;
    QSqlDatabase m_synDb;
    QSqlDatabase m_fileDb;
    QString m_userDir;
    QString m_errorPath;
    QString m_settingPath;
    QString m_synPath;
    QString m_filePath;
    QString m_prefix; // connection-name prefix, unique per instance
    bool m_ready = false;
    QString m_initError;
    QThreadPool *m_writer = nullptr;
    int m_writesPending = 0;
    // Batches the writer finished and this thread has not reported yet.
    QMutex m_storedLock;
    QList<Stored> m_stored;
};
