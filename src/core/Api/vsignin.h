#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

class VUrlRequest;

// The single-sign-on sequence, once for every caller: application id, login
// token, bearer token, the account's schools, the switch to one of them and
// the profile into UserInfo. Each step is one request through the
// dispatcher's pool; the reply comes back here by queued signal and the next
// step starts, so nothing waits on the calling thread.
//
// The caller hears at the points where it has work of its own:
//   signalSignedIn          the bearer token is stored (Api::token())
//   signalChooseSchool      several schools and none preferred: call chooseSchool()
//   signalSchoolChanged     the server switched the account to the school
//   signalFinished          the profile is in UserInfo: signed in
//   signalFailed            the sequence ended; nothing more follows
// A receiver connected directly runs before the next request is sent.
class VSignIn : public QObject
{
    Q_OBJECT
public:
    enum Step { AppId, LoginToken, BearerToken, Schools, SchoolSwitch, Profile };
    Q_ENUM(Step)
    // Why a sequence failed: the server said no (its message is shown),
    // no answer came (network, time-out, HTTP error), the account belongs to
    // no school, or the profile could not be taken.
    enum Failure { NoFailure, Refused, Transport, NoSchool, BadProfile };
    Q_ENUM(Failure)

    struct Result {
        Failure failure = NoFailure;
        Step step = AppId;
        int code = 0;
        QString message;
        QString schoolId;
        bool ok() const { return failure == NoFailure; }
    };

    explicit VSignIn(QObject *parent = nullptr);
    ~VSignIn() override;

    // Starts the sequence; ignored while one runs.
    void start(const QString &account, const QString &password);
    bool isRunning() const { return m_running; }

    // A school chosen from signalChooseSchool's list: the first choice of a
    // sequence is sent, and its id and name go to UserInfo.
    void chooseSchool(const QString &id);
    // Chosen at once when the account lists it (a remembered school).
    void setPreferredSchool(const QString &id) { m_preferred = id; }

    // Replies with Code -1/-2 go through Api::checkCode (the program stores
    // the message and starts over); off for tools, which only report them.
    void setReportLostSignIn(bool on) { m_reportLostSignIn = on; }

    // id -> name of the schools of the last list.
    QJsonObject schools() const { return m_schools; }
    const Result &result() const { return m_result; }

    // For command-line tools only (never the GUI thread of the program): runs
    // the sequence in a local event loop and answers how it ended. With
    // several schools it takes `school` when listed, else the first.
    static Result signInSync(const QString &account, const QString &password, const QString &school = QString());

    // Words for a failure, for tools and logs.
    static QString describe(const Result &result);

    static QString noSchoolText() { return QStringLiteral("该账号尚未加入任何学校"); }
    static QString profileText() { return QStringLiteral("用户信息写入失败"); }

signals:
    void signalSignedIn();
    void signalChooseSchool(const QJsonArray &schools);
    void signalSchoolChanged(const QString &id);
    void signalFinished();
    void signalFailed(const QString &message, int failure);

private:
    void send(Step step, int api, const QJsonObject &params = QJsonObject());
    void onReply(const QJsonObject &reply);
    void fail(Failure failure, const QString &message, int code = 0);
    void switchSchool(const QString &id);

    bool m_running = false;
    bool m_schoolRequested = false;
    bool m_reportLostSignIn = true;
    Step m_step = AppId;
    quint64 m_generation = 0;
    QString m_account;
    QString m_password;
    QString m_preferred;
    QJsonObject m_schools;
    Result m_result;
};
