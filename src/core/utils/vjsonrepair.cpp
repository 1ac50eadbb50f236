#include "utils/vjsonrepair.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace {
// Arrays that the service sends as strings ("[...]") become arrays. Done on
// the parsed document where the text parses: a textual "\"[" -> "[" also
// hits names that merely start with "[" and, for arrays of objects, leaves
// escaped quotes behind, and either way the whole reply failed to parse.
// The textual repair remains for replies that only parse after it.
QJsonValue repairArrays(const QJsonValue &v, int depth);

QJsonObject repairObject(const QJsonObject &o, int depth)
{
    QJsonObject out;
    for (auto it = o.constBegin(); it != o.constEnd(); ++it)
        out.insert(it.key(), repairArrays(it.value(), depth + 1));
    return out;
}

QJsonValue repairArrays(const QJsonValue &v, int depth)
{
    if (depth > 64)
        return v;
    if (v.isString()) {
        const QString s = v.toString();
        if (s.size() >= 2 && s.startsWith(QLatin1Char('[')) && s.endsWith(QLatin1Char(']'))) {
            QJsonParseError err{};
            const QJsonDocument doc = QJsonDocument::fromJson(s.toUtf8(), &err);
            if (err.error == QJsonParseError::NoError && doc.isArray())
                return repairArrays(doc.array(), depth + 1);
        }
        return v;
    }
    if (v.isObject())
        return repairObject(v.toObject(), depth);
    if (v.isArray()) {
        QJsonArray out;
        for (const QJsonValue &e : v.toArray())
            out.append(repairArrays(e, depth + 1));
        return out;
    }
    return v;
}

bool mayHoldArrayText(const QString &text)
{
    return text.contains(QLatin1String("\"[")) && text.contains(QLatin1String("]\""));
}

} // namespace

QJsonDocument parseRepairedJson(const QString &text)
{
    QString s = text;
    s.remove(QStringLiteral("//"));
    QJsonParseError err{};
    QJsonDocument doc = QJsonDocument::fromJson(s.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError) {
        // An array pasted into the reply between quotes, its own quotes not
        // escaped: only the textual repair makes such a reply parse.
        if (!mayHoldArrayText(s))
            return QJsonDocument();
        s.replace(QStringLiteral("\"["), QStringLiteral("["));
        s.replace(QStringLiteral("]\""), QStringLiteral("]"));
        return QJsonDocument::fromJson(s.toUtf8());
    }
    // Most replies carry no array text: skip the walk for them.
    if (!mayHoldArrayText(s))
        return doc;
    if (doc.isObject())
        return QJsonDocument(repairObject(doc.object(), 0));
    if (doc.isArray())
        return QJsonDocument(repairArrays(doc.array(), 0).toArray());
    return doc;
}
