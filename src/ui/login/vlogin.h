#pragma once

#include "VWidgets/valertdialog.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Ui {
class VLogin;
}
class QListWidget;
class QSignalMapper;
class VUrlRequest;

// The modal login dialog: signs in through the single sign-on service, picks
// (or lets the user pick) the school, loads the profile into UserInfo and
// remembers the account. Accepted only after a complete sign-in.
class VLogin : public VAlertDialog
{
    Q_OBJECT
public:
    explicit VLogin(QWidget *parent = nullptr);
    ~VLogin() override;

    // The password typed at the last successful sign-in of this run, kept in
    // memory only so the password change can check it for every account (the
    // remembered one is empty when "记住密码" was off).
    static QString sessionPassword();
    static void setSessionPassword(const QString &password);

    // The remembered-accounts drop-down and the state flags, for the owner and tests.
    QListWidget *accountList() const { return m_accountList; }
    bool isLoggingIn() const { return loggingIn; }
    QString errorText() const;
    bool isErrorShown() const;
    QJsonObject schoolMap() const { return schools; }

public slots:
    void on_pb_wangjimima_clicked();
    void on_pb_mianfeizhuce_clicked();
    void on_pb_denglu_clicked();
    void OpenFolder2(QWidget *w);
    void on_toolButton_clicked();
    void on_checkBox_stateChanged(int arg1);
    void on_checkBox_2_stateChanged(int arg1);
    void slotGetUserList(const QJsonArray &arr);
    void slotRequestResult1(const QJsonObject &re);
    void slotRequestResult2(const QJsonObject &re);
    void slotRequestResult(const QJsonObject &re);
    void slotGetMySchool(const QJsonObject &re);
    void slotToChgSchool(const QString &id);
    void slotChgSchool(const QJsonObject &re);
    void slotGetLoginInfo(const QJsonObject &re);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showError(const QString &text);
    void clearError();
    // Sizes the drop-down under the user-name field for its rows.
    void placeAccountList();
    // A reply's code through Api (which also handles a lost sign-in); a
    // non-zero code shows the reply's message and ends the sequence.
    bool replyOk(const QJsonObject &re);
    VUrlRequest *newRequest(void (VLogin::*slot)(const QJsonObject &));

    Ui::VLogin *ui;
    QListWidget *m_accountList;
    VUrlRequest *request = nullptr;
    QSignalMapper *mapper;
    bool loggingIn = false;
    bool schoolRequested = false;
    QWidget *firstAccountButton = nullptr;
    bool autoLoginRunning = false;
    bool autoLoginAllowed = true;
    QJsonObject schools;
    QString m_typedPassword;
    bool m_keepForm = false;
};
