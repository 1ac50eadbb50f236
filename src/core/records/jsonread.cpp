#include "records/jsonread.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>
#include <limits>

namespace JsonRead {

QString toText(const QJsonObject &obj, const QString &key)
{
    const QJsonValue v = obj.value(key);
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Double: {
        const double d = v.toDouble();
        // Whole numbers without a fraction or exponent ("12", not "12.0").
        if (std::floor(d) == d && std::fabs(d) < 9.0e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 17);
    }
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString();
    }
}

qint64 toInt64(const QJsonObject &obj, const QString &key)
{
    const QJsonValue v = obj.value(key);
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            return 0;
        return static_cast<qint64>(d);
    }
    if (v.isString()) {
        bool ok = false;
        const QString s = v.toString().trimmed();
        qint64 n = s.toLongLong(&ok);
        if (ok)
            return n;
        const double d = s.toDouble(&ok);
        if (ok && std::isfinite(d) && std::fabs(d) < 9.2e18)
            return static_cast<qint64>(d);
        return 0;
    }
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    return 0;
}

int toInt(const QJsonObject &obj, const QString &key)
{
    const qint64 n = toInt64(obj, key);
    if (n > std::numeric_limits<int>::max() || n < std::numeric_limits<int>::min())
        return 0;
    return static_cast<int>(n);
}

bool toFlag(const QJsonObject &obj, const QString &key)
{
    const QJsonValue v = obj.value(key);
    if (v.isBool())
        return v.toBool();
    if (v.isString()) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true"))
            return true;
        return toInt64(obj, key) != 0;
    }
    return toInt64(obj, key) != 0;
}

QJsonObject toObject(const QJsonObject &obj, const QString &key)
{
    const QJsonValue v = obj.value(key);
    if (v.isObject())
        return v.toObject();
    if (v.isString())
        return QJsonDocument::fromJson(v.toString().toUtf8()).object();
    return QJsonObject();
}

} // namespace JsonRead
