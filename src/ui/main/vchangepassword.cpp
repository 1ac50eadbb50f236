#include "main/vchangepassword.h"
#include "ui_vchangepassword.h"

#include "login/vlogin.h"

#include "Api/api.h"
#include "context/userinfo.h"
#include "request/vurlrequest.h"

#include <QPushButton>

VChangePassword::VChangePassword(QWidget *parent) : VDialog(parent), form(new Ui::VChangePasswordForm)
{
    auto *content = new QWidget(this);
    form->setupUi(content);
    setContentWidget(content);
    setTitle(QStringLiteral("修改密码"));
    okButton()->setText(QStringLiteral("确认修改"));
    okButton()->setMinimumWidth(80);
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VChangePassword::slotClick);
    for (QLineEdit *e : {form->LineEdit_now, form->LineEdit_new, form->LineEdit_new2})
        connect(e, &QLineEdit::textEdited, this, [this] { showMessage(QString()); });
    okButton()->setAutoDefault(false);
    cancelButton()->setAutoDefault(false);
    // the form is added after the dialog's buttons: Tab follows the layout instead
    setTabOrder(form->LineEdit_now, form->LineEdit_new);
    setTabOrder(form->LineEdit_new, form->LineEdit_new2);
    setTabOrder(form->LineEdit_new2, cancelButton());
    setTabOrder(cancelButton(), okButton());
    setFixedSize(420, 262);
}

VChangePassword::~VChangePassword()
{
    delete form;
}

QLineEdit *VChangePassword::currentField() const
{
    return form->LineEdit_now;
}

QLineEdit *VChangePassword::newField() const
{
    return form->LineEdit_new;
}

QLineEdit *VChangePassword::confirmField() const
{
    return form->LineEdit_new2;
}

QString VChangePassword::knownPassword()
{
    const QString typed = VLogin::sessionPassword();
    return typed.isEmpty() ? UserInfo::instance()->password : typed;
}

void VChangePassword::slotClick()
{
    if (m_requesting) {
        showMessage(QStringLiteral("请求处理中，请稍后再试"));
        return;
    }
    const QString now = form->LineEdit_now->text();
    const QString npwd = form->LineEdit_new->text();
    const QString npwd2 = form->LineEdit_new2->text();
    if (now.isEmpty() || npwd.isEmpty() || npwd2.isEmpty()) {
        showMessage(QStringLiteral("请输入密码"));
        return;
    }
    if (npwd != npwd2) {
        showMessage(QStringLiteral("两次密码输入不同"));
        return;
    }
    // A local check against the password known for this run catches typing
    // slips early; with none known the server decides alone.
    const QString known = knownPassword();
    if (!known.isEmpty() && now != known) {
        showMessage(QStringLiteral("密码错误"));
        return;
    }
    m_requesting = true;
    m_newPassword = npwd;
    auto *req = new VUrlRequest;
    connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this, &VChangePassword::slotGetResult);
    Api::instance()->startApi(req, Api::user_Editpwd, Api::params_user_Editpwd(now, npwd, npwd2));
}

void VChangePassword::slotGetResult(const QJsonObject &re)
{
    m_requesting = false;
    if (Api::instance()->checkCode(re) == 0) {
        UserInfo *u = UserInfo::instance();
        // a password that was not to be remembered stays out of UserInfo
        if (u->logintype != 0)
            u->password = m_newPassword;
        VLogin::setSessionPassword(m_newPassword);
        accept();
        return;
    }
    showMessage(Api::getMsg(re));
}
