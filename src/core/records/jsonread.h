#pragma once

#include <QJsonObject>
#include <QString>

// Lenient readers shared by the records: the service sends numbers sometimes
// as JSON numbers and sometimes as decimal text, and omits keys freely. A
// missing or unusable value reads as the empty value.
namespace JsonRead {
QString toText(const QJsonObject &obj, const QString &key);
int toInt(const QJsonObject &obj, const QString &key);
qint64 toInt64(const QJsonObject &obj, const QString &key);
bool toFlag(const QJsonObject &obj, const QString &key);
// An object, or the object held as JSON text in a string value.
QJsonObject toObject(const QJsonObject &obj, const QString &key);
} // namespace JsonRead
