#include "login/vlogin_users.h"
#include "ui_vlogin_users.h"

VLogin_users::VLogin_users(QWidget *parent) : QWidget(parent), ui(new Ui::VLogin_users)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setFixedHeight(28);
    setHovered(false);
}

VLogin_users::~VLogin_users()
{
    delete ui;
}

void VLogin_users::setText(const QString &text)
{
    ui->pushButton->setText(text);
    ui->toolButton->setAccessibleName(QStringLiteral("删除账号 %1").arg(text));
}

QPushButton *VLogin_users::nameButton() const
{
    return ui->pushButton;
}

QToolButton *VLogin_users::deleteButton() const
{
    return ui->toolButton;
}

void VLogin_users::setHovered(bool on)
{
    setStyleSheet(on ? QStringLiteral("VLogin_users{background:#0081DD;}"
                                      "#pushButton{color:#FFFFFF;text-align:left;padding-left:8px;border:0;}")
                     : QStringLiteral("VLogin_users{background:transparent;}"
                                      "#pushButton{color:#000000;text-align:left;padding-left:8px;border:0;}"));
    ui->toolButton->setIcon(QIcon(on ? QStringLiteral(":/images/icon/delete_hover.png")
                                     : QStringLiteral(":/images/icon/delete.png")));
}

void VLogin_users::enterEvent(QEvent *event)
{
    setHovered(true);
    QWidget::enterEvent(event);
}

void VLogin_users::leaveEvent(QEvent *event)
{
    setHovered(false);
    QWidget::leaveEvent(event);
}
