#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QString>

// One backup task: the folder that receives the copy, the polling interval
// and where the last run left off. Stored in the per-user key-value table
// under "adminbak" as {"<task id>": {...}, ...}.
class M_bak_config
{
public:
    QString localpath;
    bool isopen = false;
    int time = 60; // minutes
    bool isfirst = true;
    QDateTime lasttime; // server time of the last completed fetch; null = never
    int status = 0;     // run state, not stored

    QJsonObject toJson() const;
    static M_bak_config fromJson(const QJsonObject &obj);

    // The task's entry in the stored text; defaults when absent or unreadable.
    static M_bak_config fromStore(const QString &text, int id);
    // The stored text with the task's entry replaced by cfg, other tasks kept.
    static QString toStore(const QString &text, int id, const M_bak_config &cfg);
};

Q_DECLARE_METATYPE(M_bak_config)
