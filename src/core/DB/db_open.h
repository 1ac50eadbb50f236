#pragma once

#include <QSqlDatabase>

// Opens a store's connection for one operation and closes it again on every
// path out of the operation.
class OpenDb
{
public:
    explicit OpenDb(QSqlDatabase &db) : m_db(db) { m_ok = m_db.open(); }
    ~OpenDb()
    {
        if (m_ok)
            m_db.close();
    }
    OpenDb(const OpenDb &) = delete;
    OpenDb &operator=(const OpenDb &) = delete;
    bool ok() const { return m_ok; }

private:
    QSqlDatabase &m_db;
    bool m_ok = false;
};
