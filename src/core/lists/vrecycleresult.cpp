#include "lists/vrecycleresult.h"

#include "Api/vacttracker.h"
#include "utils/vutils.h"

#include <QJsonObject>

QString VRecycleResult::itemName(const QJsonObject &item)
{
    const QString name = item.value(QStringLiteral("filename")).toString();
    if (!name.isEmpty())
        return name;
    const QString path = item.value(QStringLiteral("path")).toString();
    return path.isEmpty() ? item.value(QStringLiteral("id")).toVariant().toString() : VUtils::fileName(path);
}

QStringList VRecycleResult::ids(const QJsonArray &items)
{
    QStringList out;
    for (const QJsonValue &v : items) {
        const QString id = v.toObject().value(QStringLiteral("id")).toVariant().toString();
        if (!id.isEmpty() && !out.contains(id))
            out << id;
    }
    return out;
}

QStringList VRecycleResult::failureTexts(const QJsonArray &items)
{
    QStringList out;
    for (const QJsonValue &v : items) {
        const QJsonObject o = v.toObject();
        QString msg = o.value(QStringLiteral("msg")).toString();
        if (msg.isEmpty())
            msg = QStringLiteral("处理失败");
        out << QStringLiteral("%1：%2").arg(itemName(o), msg);
    }
    return out;
}

VRecycleResult VRecycleResult::decide(Kind kind, const M_api_act &act, bool followup)
{
    VRecycleResult r;
    const VActTracker::Outcome o = VActTracker::outcome(act);
    r.successes = o.done.size();
    r.failures = o.failures;
    // Only a restore clashes with a name; only its first round asks.
    if (kind == Restore && !followup)
        r.conflicts = o.conflicts;
    else
        for (const QJsonValue &v : o.conflicts)
            r.failures.append(v);
    r.refetch = r.successes > 0;

    if (r.successes == 0 && r.failures.isEmpty() && r.conflicts.isEmpty()) {
        // An act that handled nothing did nothing: never a success.
        r.errorText = kind == Restore ? QStringLiteral("还原失败，没有处理任何数据")
                                      : QStringLiteral("清理失败，没有处理任何数据");
        return r;
    }
    if (kind == Delete) {
        if (r.successes == 0) {
            r.errorText = QStringLiteral("清理失败");
            const QStringList texts = failureTexts(r.failures);
            if (!texts.isEmpty())
                r.errorText += QStringLiteral("：") + texts.join(QStringLiteral("；"));
        } else {
            r.successText = QStringLiteral("成功清理%1项数据").arg(r.successes);
            if (!r.failures.isEmpty())
                r.successText += QStringLiteral(",失败%1项数据").arg(r.failures.size());
        }
        return r;
    }
    r.showFailureDialog = !r.failures.isEmpty();
    if (r.successes > 0 && r.failures.isEmpty())
        r.successText = QStringLiteral("成功还原%1项数据").arg(r.successes);
    return r;
}
