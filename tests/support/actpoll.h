#pragma once
// ActPoll: the main window's act poll as the pages see it: every 50 ms the
// records of all pending acts go through the hub's signalWp_result.
#include "Api/api.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"

#include <QJsonArray>
#include <QObject>
#include <QTimer>

class ActPoll : public QObject
{
public:
    ActPoll()
    {
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const QStringList ids = Api::instance()->actIds();
            if (m_busy || ids.isEmpty())
                return;
            m_busy = true;
            auto *req = new VUrlRequest;
            connect(req, qOverload<const QJsonObject &>(&VUrlRequest::signalResult), this, [this](const QJsonObject &re) {
                m_busy = false;
                for (const QJsonValue &v : Api::toArray(re.value("Msg")))
                    emit VGlobalConnect::instance()->signalWp_result(v.toObject());
            });
            Api::instance()->startApi(req, Api::act_GetActStatus, Api::params_act_GetActStatus(ids), false);
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
    bool m_busy = false;
};
