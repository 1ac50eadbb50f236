#include "benditongbu/vbenditongbu_setup.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "VWidgets/vdialog.h"

VBenditongbu_setup::VBenditongbu_setup(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VBenditongbu_setup"));
    setWindowTitle(QStringLiteral("设置同步路径"));
    setStyleSheet(QStringLiteral("#VBenditongbu_setup{background:#FFFFFF;}"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(18, 16, 18, 14);
    v->setSpacing(10);
    auto *title = new QLabel(QStringLiteral("设置同步路径"), this);
    title->setStyleSheet(QStringLiteral("font-weight:bold;"));
    v->addWidget(title);
    v->addWidget(new QLabel(QStringLiteral("公共网盘本地存储路径"), this));
    auto *row = new QHBoxLayout;
    lineEdit = new QLineEdit(this);
    lineEdit->setAccessibleName(QStringLiteral("公共网盘本地存储路径"));
    pushButton_liulan = new QPushButton(QStringLiteral("浏览"), this);
    pushButton_liulan->setAccessibleName(QStringLiteral("浏览同步路径"));
    row->addWidget(lineEdit, 1);
    row->addWidget(pushButton_liulan);
    v->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    pushButton_accept = new QPushButton(QStringLiteral("确定"), this);
    pushButton_accept->setAccessibleName(QStringLiteral("确定"));
    pushButton_cancel = new QPushButton(QStringLiteral("取消"), this);
    pushButton_cancel->setAccessibleName(QStringLiteral("取消"));
    buttons->addWidget(pushButton_accept);
    buttons->addWidget(pushButton_cancel);
    v->addLayout(buttons);
    pushButton_liulan->setStyleSheet(VDialog::buttonStyle(1));
    pushButton_cancel->setStyleSheet(VDialog::buttonStyle(1));
    pushButton_accept->setStyleSheet(VDialog::buttonStyle(2));
    for (QPushButton *b : {pushButton_liulan, pushButton_accept, pushButton_cancel}) {
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoDefault(false);
    }
    connect(pushButton_liulan, &QPushButton::clicked, this, &VBenditongbu_setup::on_pushButton_liulan_clicked);
    connect(pushButton_accept, &QPushButton::clicked, this, &VBenditongbu_setup::on_pushButton_accept_clicked);
    connect(pushButton_cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(380, 170);
}

void VBenditongbu_setup::on_pushButton_liulan_clicked()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("请选择同步路径"), lineEdit->text());
    if (!dir.isEmpty())
        lineEdit->setText(QDir::toNativeSeparators(dir));
}

void VBenditongbu_setup::on_pushButton_accept_clicked()
{
    accept();
}
