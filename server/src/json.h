#pragma once
// JSON text as the service writes it. Inside strings "/" is written "\/" and
// "[" / "]" as \u005b / \u005d: the client strips every "//" from a reply and
// turns "\"[" / "]\"" into bare brackets before parsing, so literal slashes
// and brackets at string edges would corrupt its view of the reply.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace json {

QByteArray write(const QJsonValue &value);
inline QByteArray write(const QJsonObject &o) { return write(QJsonValue(o)); }
inline QByteArray write(const QJsonArray &a) { return write(QJsonValue(a)); }
// The same text as a QString, for values that travel as JSON text inside JSON.
QString text(const QJsonValue &value);

// The common reply envelope {"Code":..,"Msg":..,"data":..}.
QByteArray envelope(int code, const QJsonValue &msg, const QJsonValue &data = QJsonValue());
// Pieces for writing JSON text by hand, with the escaping above.
void appendString(QByteArray &out, const QString &s);
void appendValue(QByteArray &out, const QJsonValue &v);

// Parses text that is expected to hold an object or an array; invalid text
// gives a null value.
QJsonValue parse(const QByteArray &text);

} // namespace json
