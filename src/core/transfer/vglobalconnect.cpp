#include "transfer/vglobalconnect.h"

#include "Api/api.h"
#include "context/vglobalparameter.h"
#include "records/metatypes.h"
#include "request/vurlrequest.h"

#include <QJsonArray>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcHub, "orvel.hub")

VGlobalConnect::VGlobalConnect(QObject *parent)
    : QObject(parent)
{
}

VGlobalConnect *VGlobalConnect::instance()
{
    static VGlobalConnect *hub = [] {
        // Queued hub signals carry records; register them before anyone
        // can connect.
        registerMetaTypes();
        qRegisterMetaType<enum_fileoptype>("enum_fileoptype");
        return new VGlobalConnect();
    }();
    return hub;
}

void VGlobalConnect::cancelUpload(const QString &evtid, const QString &upserver)
{
    auto *req = new VUrlRequest();
    // The reply need not name the event; carry it along.
    req->addCustomData(QJsonObject{{QStringLiteral("evtid"), evtid}, {QStringLiteral("upserver"), upserver}});
    connect(req, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult), this,
            &VGlobalConnect::slotCancleUpload);
    qCDebug(lcHub) << "cancel upload" << evtid << "on" << upserver;
    Api::instance()->startApi(req, Api::file_CancelUpload, upserver, Api::params_file_CancelUpload(evtid), false);
}

void VGlobalConnect::cancelPendingUploads()
{
    const QJsonArray list = Api::instance()->cancelList();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        cancelUpload(o.value(QStringLiteral("evtid")).toString(), o.value(QStringLiteral("upserver")).toString());
    }
}

void VGlobalConnect::slotCancleUpload(QJsonObject reply)
{
    const QJsonObject custom = Api::getCustomData(reply);
    QString evtid = custom.value(QStringLiteral("evtid")).toString();
    if (evtid.isEmpty())
        evtid = reply.value(QStringLiteral("data")).toObject().value(QStringLiteral("evtid")).toString();
    const int code = Api::instance()->checkCode(reply, false);
    if (code == 99) {
        // Never reached the server: keep it pending (one entry per event).
        QJsonObject entry{{QStringLiteral("evtid"), evtid},
                          {QStringLiteral("upserver"), custom.value(QStringLiteral("upserver")).toString()}};
        Api::instance()->addCancel(QJsonArray{entry});
        qCDebug(lcHub) << "cancel upload stays pending" << evtid;
    } else {
        Api::instance()->removeCancel(evtid);
    }
}

void VGlobalConnect::slotWpActResult(QJsonObject reply)
{
    const int code = Api::instance()->checkCode(reply);
    const QJsonObject data = reply.value(QStringLiteral("data")).toObject();
    const QJsonObject custom = Api::getCustomData(reply);
    QString message = data.value(QStringLiteral("msg")).toString();
    // A transport failure has no data; its text is the envelope's.
    if (message.isEmpty() && code != 0)
        message = Api::getMsg(reply);
    if (message.isEmpty())
        message = QStringLiteral("队列任务处理中，请稍后");

    if (code == 0) {
        QString id = data.value(QStringLiteral("evtid")).toVariant().toString();
        if (id.isEmpty())
            id = data.value(QStringLiteral("id")).toVariant().toString();
        if (!id.isEmpty())
            Api::instance()->addAct(id);
        emit signalLayer_waiting(message, false);
        return;
    }

    emit signalLayer_err(message, false);
    QString bz = data.value(QStringLiteral("bz")).toString();
    if (bz.isEmpty())
        bz = custom.value(QStringLiteral("bz")).toString();
    if (bz == QLatin1String("upload") && message == QStringLiteral("服务器遇到意外情况，导致无法完成请求"))
        emit signalLayer_err(QStringLiteral("文件夹数过多"), false);
    VGlobalParameter::instance()->setIsUploadPreparing(false);
}
