#include "Api/vacttracker.h"

#include "Api/api.h"
#include "transfer/vglobalconnect.h"

#include <QMetaObject>

VActTracker::VActTracker(QObject *parent, bool listenToHub) : QObject(parent)
{
    if (listenToHub)
        connect(VGlobalConnect::instance(), &VGlobalConnect::signalWp_result, this, &VActTracker::slotWpResult);
}

void VActTracker::track(const QString &actId, const QVariantMap &context)
{
    if (actId.isEmpty())
        return;
    m_acts.insert(actId, context);
    Api::instance()->addAct(actId);
}

QString VActTracker::trackReply(const QJsonObject &reply, const QVariantMap &context, QString *message)
{
    const int code = Api::getCode(reply);
    const QJsonObject data = reply.value(QStringLiteral("data")).toObject();
    QString id = data.value(QStringLiteral("evtid")).toVariant().toString();
    if (id.isEmpty())
        id = data.value(QStringLiteral("id")).toVariant().toString();
    if (code != 0 || id.isEmpty()) {
        if (message) {
            QString text = Api::getMsg(reply);
            if (text.isEmpty())
                text = data.value(QStringLiteral("msg")).toString();
            if (text.isEmpty())
                text = QStringLiteral("操作失败，请稍后重试");
            *message = text;
        }
        return QString();
    }
    track(id, context);
    return id;
}

void VActTracker::forget(const QString &actId)
{
    if (m_acts.remove(actId))
        Api::instance()->removeAct(actId);
}

void VActTracker::slotWpResult(const QJsonObject &record)
{
    const M_api_act act(record);
    if (act.status != 99 || !m_acts.contains(act.id))
        return;
    const QVariantMap context = m_acts.take(act.id);
    Api::instance()->removeAct(act.id);
    // Delivered from the event loop: the poll emits records in a loop and
    // must not wait on whatever the owner does with the result.
    QMetaObject::invokeMethod(
        this, [this, act, context] { emit signalFinished(act, context); }, Qt::QueuedConnection);
}

VActTracker::Outcome VActTracker::outcome(const M_api_act &act)
{
    Outcome o;
    o.code = act.data.value(QStringLiteral("code")).toVariant().toInt();
    o.msg = act.data.value(QStringLiteral("msg")).toVariant().toString();
    const QJsonArray list = Api::toArray(act.data.value(QStringLiteral("filelist")));
    for (const QJsonValue &v : list) {
        const QJsonObject item = v.toObject();
        const int code = item.value(QStringLiteral("code")).toVariant().toInt();
        if (code == 0)
            o.done.append(item);
        else if (code == 5)
            o.conflicts.append(item);
        else
            o.failures.append(item);
    }
    // Acts that report one code for the whole request (AddDir, AddTmpDir)
    // and carry no failing item: the top-level code decides.
    if (o.code != 0 && o.failures.isEmpty() && o.conflicts.isEmpty() && list.isEmpty())
        o.failures.append(QJsonObject{{QStringLiteral("code"), o.code}, {QStringLiteral("msg"), o.msg}});
    return o;
}
