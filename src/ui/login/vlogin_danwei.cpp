#include "login/vlogin_danwei.h"
#include "ui_vlogin_danwei.h"

VLogin_danwei::VLogin_danwei(QWidget *parent) : QWidget(parent), ui(new Ui::VLogin_danwei)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(280, 40);
    setStyleSheet(QStringLiteral(
        "VLogin_danwei{background:#F5F9FD;border:1px solid #DCE9F5;border-radius:3px;}"
        "VLogin_danwei:hover{background:#E8F3FC;border-color:#0081DD;}"
        "#pushButton{color:#0081DD;font-size:14px;text-align:left;padding-left:12px;border:0;background:transparent;}"
        "#toolButton{border:0;background:transparent;}"));
}

VLogin_danwei::~VLogin_danwei()
{
    delete ui;
}

void VLogin_danwei::setText(const QString &text)
{
    ui->pushButton->setText(text);
    ui->toolButton->setAccessibleName(QStringLiteral("进入 %1").arg(text));
}

QString VLogin_danwei::text() const
{
    return ui->pushButton->text();
}

QPushButton *VLogin_danwei::nameButton() const
{
    return ui->pushButton;
}

QToolButton *VLogin_danwei::arrowButton() const
{
    return ui->toolButton;
}
