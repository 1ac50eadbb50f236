#include "benditongbu/vbenditongbu.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "benditongbu/vbenditongbu_list.h"

VBenditongbu::VBenditongbu(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VBenditongbu"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_list = new VBenditongbu_list(this);
    v->addWidget(m_list, 1);
    QHBoxLayout *h = nullptr;
    QWidget *foot = VPageParts::footer(this, &h);
    auto link = [&](const QString &text, const QString &name, const QString &accessible) {
        return VPageParts::linkButton(text, name, accessible, foot);
    };
    pushButton_count = link(QStringLiteral("0"), QStringLiteral("pushButton_count"), QStringLiteral("正在下载的文件数"));
    h->addWidget(pushButton_count);
    h->addWidget(new QLabel(QStringLiteral(" 个文件正在下载"), foot));
    h->addStretch();
    pushButton_view = link(QStringLiteral("查看"), QStringLiteral("pushButton_view"), QStringLiteral("查看正在同步的文件"));
    h->addWidget(pushButton_view);
    h->addSpacing(12);
    pushButton_log = link(QStringLiteral("同步日志"), QStringLiteral("pushButton_log"), QStringLiteral("同步日志"));
    h->addWidget(pushButton_log);
    v->addWidget(foot);
    connect(pushButton_count, &QPushButton::clicked, this, &VBenditongbu::on_pushButton_count_clicked);
    connect(pushButton_view, &QPushButton::clicked, this, &VBenditongbu::on_pushButton_view_clicked);
    connect(pushButton_log, &QPushButton::clicked, this, &VBenditongbu::on_pushButton_log_clicked);
}

void VBenditongbu::on_pushButton_count_clicked()
{
    slotOpenLog();
}

void VBenditongbu::on_pushButton_view_clicked()
{
    slotOpenLog();
}

void VBenditongbu::on_pushButton_log_clicked()
{
    slotOpenLog();
}

void VBenditongbu::slotOpenLog()
{
    emit signalOpenLog();
}
