#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

// Opens a store's connection for one operation and closes it again on every
// path out of the operation. A connection its store keeps open (see
// openKept) is used as it is and left open.
class OpenDb
{
public:
    explicit OpenDb(QSqlDatabase &db) : m_db(db)
    {
        if (m_db.isOpen()) {
            m_ok = true;
            return;
        }
        m_ok = m_db.open();
        m_close = m_ok;
    }
    ~OpenDb()
    {
        if (m_close)
            m_db.close();
    }
    OpenDb(const OpenDb &) = delete;
    OpenDb &operator=(const OpenDb &) = delete;
    bool ok() const { return m_ok; }

private:
    QSqlDatabase &m_db;
    bool m_ok = false;
    bool m_close = false;
};

// Opens a connection for the life of its store, in write-ahead mode with
// normal sync. The rows write the log at every state change and resume point
// on the GUI thread; opened and closed per operation each of those commits
// cost a journal and a database sync (and in write-ahead mode the last close
// a checkpoint), some 15-20 ms here. Kept open, a commit appends to the log
// file without a sync; the checkpoints run now and then by themselves. A
// crash of the program loses nothing, a power cut at most the last commits
// (an unfinished transfer then resumes from an older block).
// Returns false, with the connection closed, when the file does not open or
// does not take the mode (not a database, another process holds it, a file
// system without shared memory); the store then opens it per operation.
inline bool openKept(QSqlDatabase &db)
{
    if (db.isOpen())
        return true;
    if (!db.open())
        return false;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()
        || q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0
        || !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
        q.finish();
        db.close();
        return false;
    }
    q.finish();
    return true;
}
