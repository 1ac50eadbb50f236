#include "gonggongwangpan/vgonggongwangpan_errmove.h"

#include "VWidgets/vpageparts.h"

#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

QString VGonggongwangpan_errmove::rowText(const QString &time, const QString &source, const QString &target,
                                          const QString &reason)
{
    QString t = QStringLiteral("<font style='font-size:12px;' color='#333'><font color='#999'>%1</font> %2 ")
                    .arg(time.toHtmlEscaped(), source.toHtmlEscaped());
    if (!target.isEmpty())
        t += QStringLiteral("<font color='#999'>至</font> %1").arg(target.toHtmlEscaped());
    t += QStringLiteral("</font><br/><font color='#F56C6C'>%1</font>").arg(reason.toHtmlEscaped());
    return t;
}

VGonggongwangpan_errmove::VGonggongwangpan_errmove(const QJsonArray &failures, const QString &client,
                                                   const QString &ip, const QString &user, const QString &time,
                                                   QWidget *parent)
    : VDialog(parent)
{
    setObjectName(QStringLiteral("VGonggongwangpan_errmove"));
    setTitle(QStringLiteral("操作失败"));
    auto *content = new QWidget(this);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(20, 8, 20, 8);
    lay->setSpacing(8);
    auto *head = new QLabel(content);
    head->setObjectName(QStringLiteral("label_head"));
    head->setTextFormat(Qt::RichText);
    head->setText(QStringLiteral("<b style='font-size:14px;'>操作失败</b>&nbsp;&nbsp;<font color='#999'>%1&nbsp;&nbsp;%2&nbsp;&nbsp;%3</font>")
                      .arg(QStringLiteral("操作端：%1").arg(client.toHtmlEscaped()),
                           QStringLiteral("IP：%1").arg(ip.toHtmlEscaped()),
                           QStringLiteral("操作人:%1").arg(user.toHtmlEscaped())));
    lay->addWidget(head);
    m_list = VPageParts::reportList(QStringLiteral("失败的项目"), content);
    for (const QJsonValue &v : failures) {
        const QJsonObject o = v.toObject();
        const QString source = o.value(QStringLiteral("path")).toString();
        const QString reason = o.value(QStringLiteral("msg")).toString();
        VPageParts::addReportRow(m_list, rowText(time, source, o.value(QStringLiteral("to")).toString(), reason),
                                 QStringLiteral("%1 %2").arg(source, reason));
    }
    lay->addWidget(m_list);
    setContentWidget(content);
    okButton()->setText(QStringLiteral("确定"));
    showCancel(false);
    resize(520, 360);
}
