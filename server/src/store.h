#pragma once
// SQLite metadata of the service plus the folders that hold blobs and upload
// blocks. Each thread gets its own connection; one recursive lock serialises
// every transaction, which keeps SQLite free of busy errors and the handlers
// free of lost updates.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <mutex>

class Store
{
public:
    bool open(const QString &dataDir, QString *error);

    QString dataDir() const { return m_dataDir; }
    QString blobPath(const QString &sha256) const;   // where a blob lives
    QString uploadDir() const { return m_dataDir + QStringLiteral("/uploads"); }
    QString clientDir() const { return m_dataDir + QStringLiteral("/client"); }

    // Statement helpers; every value is a bound parameter.
    QSqlQuery exec(const QString &sql, const QVariantList &binds = {}, bool *ok = nullptr);
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    QVariantMap row(const QString &sql, const QVariantList &binds = {});
    QList<QVariantMap> rows(const QString &sql, const QVariantList &binds = {});
    qint64 insert(const QString &sql, const QVariantList &binds = {});
    // One prepared statement run once per row of values (bulk seeding).
    bool insertMany(const QString &sql, const QList<QVariantList> &rows);

    // Transaction scope: locks, begins on the outermost level, rolls back
    // unless commit() was called.
    class Tx
    {
    public:
        explicit Tx(Store &s);
        ~Tx();
        void commit();
        Tx(const Tx &) = delete;
        Tx &operator=(const Tx &) = delete;

    private:
        Store &m_s;
        std::unique_lock<std::recursive_mutex> m_lock;
        bool m_outer = false;
        bool m_done = false;
    };

    // Stores a blob from a file that is already complete (moves it).
    bool adoptBlob(const QString &tmpPath, const QString &sha256);
    // Writes a blob from memory.
    bool writeBlob(const QByteArray &data, QString *sha256);
    // Removes blobs no file row references any more.
    void dropBlobIfUnused(const QString &sha256);

    std::recursive_mutex &mutex() { return m_mutex; }

private:
    QSqlDatabase db();
    bool migrate(QString *error);

    QString m_dataDir;
    QString m_dbPath;
    std::recursive_mutex m_mutex;
    int m_depth = 0;
};
