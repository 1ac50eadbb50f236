#pragma once

#include "VWidgets/valertdialog.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Ui {
class VLogin;
}
class QListWidget;
class QSignalMapper;
class VSignIn;

// The modal login dialog: runs the sign-in sequence (VSignIn), lets the user
// pick the school when the account has several, remembers the account and
// shows every failure. Accepted only after a complete sign-in.
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
    // The sequence's stations: signed in (bearer token), the school list to
    // choose from, a school chosen, the school switched, the profile loaded,
    // and the end by failure.
    void slotSignedIn();
    void slotGetMySchool(const QJsonArray &list);
    void slotToChgSchool(const QString &id);
    void slotChgSchool(const QString &id);
    void slotGetLoginInfo();
    void slotSignInFailed(const QString &message);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showError(const QString &text);
    void clearError();
    // Sizes the drop-down under the user-name field for its rows.
    void placeAccountList();

    Ui::VLogin *ui;
    QListWidget *m_accountList;
    VSignIn *m_signIn;
    QSignalMapper *mapper;
    bool loggingIn = false;
    QWidget *firstAccountButton = nullptr;
    bool autoLoginRunning = false;
    bool autoLoginAllowed = true;
    QJsonObject schools;
    QString m_typedPassword;
    bool m_keepForm = false;
};
