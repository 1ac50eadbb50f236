#include "huishouzhan/vhuishouzhan_err.h"

#include "VWidgets/vpageparts.h"
#include "lists/vrecycleresult.h"

#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

QString VHuishouzhan_err::rowText(const QString &name, const QString &reason)
{
    return QStringLiteral("%1<br/><font color='#F56C6C'>%2</font>").arg(name.toHtmlEscaped(), reason.toHtmlEscaped());
}

VHuishouzhan_err::VHuishouzhan_err(const QJsonArray &failures, const QString &client, const QString &ip,
                                   const QString &user, QWidget *parent)
    : VDialog(parent)
{
    setObjectName(QStringLiteral("VHuishouzhan_err"));
    setTitle(QStringLiteral("还原失败"));
    auto *content = new QWidget(this);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(20, 8, 20, 8);
    lay->setSpacing(8);
    auto *head = new QLabel(content);
    head->setObjectName(QStringLiteral("label_head"));
    head->setTextFormat(Qt::RichText);
    head->setText(QStringLiteral("<b style='font-size:14px;'>%1项数据还原失败</b>&nbsp;&nbsp;<font color='#999'>%2&nbsp;&nbsp;%3&nbsp;&nbsp;%4</font>")
                      .arg(failures.size())
                      .arg(QStringLiteral("操作端：%1").arg(client.toHtmlEscaped()),
                           QStringLiteral("IP：%1").arg(ip.toHtmlEscaped()),
                           QStringLiteral("操作人:%1").arg(user.toHtmlEscaped())));
    lay->addWidget(head);
    m_list = VPageParts::reportList(QStringLiteral("还原失败的项目"), content);
    for (const QJsonValue &v : failures) {
        const QJsonObject o = v.toObject();
        const QString name = VRecycleResult::itemName(o);
        const QString reason = o.value(QStringLiteral("msg")).toString();
        VPageParts::addReportRow(m_list, rowText(name, reason), QStringLiteral("%1 %2").arg(name, reason));
    }
    lay->addWidget(m_list);
    setContentWidget(content);
    VPageParts::nameButtons(this, QStringLiteral("确定"), QStringLiteral("取消"));
    showCancel(false);
    resize(520, 360);
}
