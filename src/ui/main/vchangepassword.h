#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonObject>

namespace Ui {
class VChangePasswordForm;
}
class QLineEdit;

// Change of the account's password: current, new and confirmation.
class VChangePassword : public VDialog
{
    Q_OBJECT
public:
    explicit VChangePassword(QWidget *parent = nullptr);
    ~VChangePassword() override;

    QLineEdit *currentField() const;
    QLineEdit *newField() const;
    QLineEdit *confirmField() const;
    bool isRequesting() const { return m_requesting; }
    // The password the current one is checked against: the one typed at
    // sign-in in this run, else the remembered one.
    static QString knownPassword();

public slots:
    void slotClick();
    void slotGetResult(const QJsonObject &re);

private:
    Ui::VChangePasswordForm *form;
    bool m_requesting = false;
    QString m_newPassword;
};
