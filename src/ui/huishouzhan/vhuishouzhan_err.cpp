#include "huishouzhan/vhuishouzhan_err.h"

#include "VWidgets/vpageparts.h"
#include "lists/vrecycleresult.h"

#include <QJsonObject>

QString VHuishouzhan_err::rowText(const QString &name, const QString &reason)
{
    return QStringLiteral("%1<br/><font color='#F56C6C'>%2</font>").arg(name.toHtmlEscaped(), reason.toHtmlEscaped());
}

VHuishouzhan_err::VHuishouzhan_err(const QJsonArray &failures, const QString &client, const QString &ip,
                                   const QString &user, QWidget *parent)
    : VDialog(parent)
{
    m_list = VPageParts::failureReport(this, QStringLiteral("VHuishouzhan_err"), QStringLiteral("还原失败"),
                                       QStringLiteral("%1项数据还原失败").arg(failures.size()), client, ip, user,
                                       QStringLiteral("还原失败的项目"));
    for (const QJsonValue &v : failures) {
        const QJsonObject o = v.toObject();
        const QString name = VRecycleResult::itemName(o);
        const QString reason = o.value(QStringLiteral("msg")).toString();
        VPageParts::addReportRow(m_list, rowText(name, reason), QStringLiteral("%1 %2").arg(name, reason));
    }
    VPageParts::nameButtons(this, QStringLiteral("确定"), QStringLiteral("取消"));
}
