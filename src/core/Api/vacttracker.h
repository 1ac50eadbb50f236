#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include "records/m_api_act.h"

// Follows the server acts a page started. The page registers each act id
// with its own context (what it did, on which items, to where); when the
// act poll reports that act finished (status 99), the tracker removes it from
// the dispatcher's pending list and tells the page once. Open records and ids
// registered by someone else are ignored, so pages sharing the poll never see
// each other's results. The result is delivered from the event loop, never
// from inside the poll, so a dialog opened for it cannot hold the poll up.
class VActTracker : public QObject
{
    Q_OBJECT
public:
    // Listens to the hub's act records unless listenToHub is false (tests
    // feed records through slotWpResult themselves).
    explicit VActTracker(QObject *parent = nullptr, bool listenToHub = true);

    // Registers an act of this owner and adds it to the dispatcher's poll.
    void track(const QString &actId, const QVariantMap &context);
    // Reads a "v1/wp/act/add" reply: on success registers the act id it
    // carries with the context and returns it; otherwise returns an empty id
    // and the reason in *message (the envelope's text or the data's "msg").
    QString trackReply(const QJsonObject &reply, const QVariantMap &context, QString *message = nullptr);
    bool isTracking(const QString &actId) const { return m_acts.contains(actId); }
    int pendingCount() const { return m_acts.size(); }
    // Stops following an act (its owner went away); it stays out of the poll.
    void forget(const QString &actId);

    // Per-item outcome of a finished act ("filelist" entries with "code",
    // "msg", "path"), sorted into what went wrong.
    struct Outcome
    {
        QJsonArray done;      // code 0
        QJsonArray conflicts; // code 5: the name exists at the target
        QJsonArray failures;  // any other code
        int code = 0;         // the act's own code (AddDir, AddTmpDir)
        QString msg;          // the act's own message
        bool ok() const { return conflicts.isEmpty() && failures.isEmpty() && code == 0; }
    };
    static Outcome outcome(const M_api_act &act);

signals:
    // Once per tracked act, after it left the pending list.
    void signalFinished(const M_api_act &act, const QVariantMap &context);

public slots:
    void slotWpResult(const QJsonObject &record);

private:
    QHash<QString, QVariantMap> m_acts;
};
