#ifndef DB_SETTING_H
#define DB_SETTING_H

#include <QJsonArray>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

// The settings store D/appSettings.db: remembered accounts (at most five),
// the user's settings, the last error to show at the next start and the
// pending upload cancellations. Each operation opens the file, works in one
// transaction and closes it again.
class db_setting : public QObject
{
    Q_OBJECT
public:
    static db_setting *instance();

    // A store on the given file; instance() uses D/appSettings.db. Runs the
    // schema check and takes the last error out of the file (shown once).
    explicit db_setting(const QString &filePath, QObject *parent = nullptr);
    ~db_setting() override;

    QJsonArray getAll();
    bool addUser(const QString &username, int danweiid, int logintype, const QString &password,
                 const QString &lastlogin);
    bool addUser();
    bool removeUser(const QString &username);
    bool disableAutoLogin();

    void getConfig();
    bool setConfig();

    bool setLasterror(const QString &text);
    bool setCancle(const QJsonArray &array);
    QJsonArray getCancle();

    QString filePath() const { return m_filePath; }
    int userLimit() const { return m_userLimit; }

    // The message read at start (already cleared in the file).
    QString lasterror;

private:
    bool open();
    void close(bool commit);
    bool checkSchema();
    void takeLasterror();
    bool setOther(const QString &key, const QString &value);
    bool readOther(const QString &key, QString *value);

    QString m_connectionName;
    QSqlDatabase m_db;
    int m_userLimit = 5;
    QString m_filePath;
};

#endif // DB_SETTING_H
