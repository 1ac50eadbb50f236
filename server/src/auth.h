#pragma once
// Accounts, schools and sessions: the single-sign-on sequence and the token
// and school checks every other endpoint goes through.
#include <QList>
#include <QString>

class Router;
struct Call;

struct Session {
    QString token;
    qint64 userid = 0;
    qint64 schoolid = 0;
    int shenfen = 0;
    QString loginname;
    QString truename;
    bool superseded = false;
    bool isAdmin() const { return shenfen == 99; }
};

namespace auth {

void registerRoutes(Router &main);

// Resolves a bearer token to its live session.
bool lookup(const QString &token, Session *s);
// Checks token (Code -1) and, when needSchool, the chosen school (Code -2);
// on failure it has already answered the call.
bool require(Call &c, Session *s, bool needSchool = true);

qint64 addSchool(qint64 id, const QString &name, const QString &shortName);
qint64 addUser(const QString &loginname, const QString &password, const QString &truename, int shenfen,
               const QList<qint64> &schools, int sex = 1, const QString &mobile = QString());

} // namespace auth
