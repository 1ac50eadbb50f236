#include "gonggongwangpan/vgonggongwangpan_errmove.h"

#include "VWidgets/vpageparts.h"

#include <QJsonObject>
#include <QPushButton>

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
    m_list = VPageParts::failureReport(this, QStringLiteral("VGonggongwangpan_errmove"), QStringLiteral("操作失败"),
                                       QStringLiteral("操作失败"), client, ip, user, QStringLiteral("失败的项目"));
    for (const QJsonValue &v : failures) {
        const QJsonObject o = v.toObject();
        const QString source = o.value(QStringLiteral("path")).toString();
        const QString reason = o.value(QStringLiteral("msg")).toString();
        VPageParts::addReportRow(m_list, rowText(time, source, o.value(QStringLiteral("to")).toString(), reason),
                                 QStringLiteral("%1 %2").arg(source, reason));
    }
    okButton()->setText(QStringLiteral("确定"));
}
