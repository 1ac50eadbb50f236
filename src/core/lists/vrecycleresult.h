#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include "records/m_api_act.h"

// What the recycle bin makes of a finished restore or delete act: how many
// items went through, which failed (and why), which clash with a name at
// their former place, and the one message the user sees.
class VRecycleResult
{
public:
    enum Kind { Restore, Delete };

    // followup: the act carried the user's "keep both" answer; a clash it
    // still reports is a failure, never a new question.
    static VRecycleResult decide(Kind kind, const M_api_act &act, bool followup);

    int successes = 0;
    QJsonArray failures;  // items that failed, with "msg"
    QJsonArray conflicts; // clashes to ask about (a first restore only)
    QString successText;  // shown only when something went through
    QString errorText;    // an error toast (an empty act, a delete with no success)
    // Restores with failures list them in the report dialog.
    bool showFailureDialog = false;
    // Anything changed on the server: fetch the list again.
    bool refetch = false;

    // The recycle ids of the clashing items (what a "keep both" restore sends).
    static QStringList ids(const QJsonArray &items);
    // The failure texts, one per item ("name：reason").
    static QStringList failureTexts(const QJsonArray &items);
    // Display name of an act item: its "filename", else the last part of its path.
    static QString itemName(const QJsonObject &item);
};
