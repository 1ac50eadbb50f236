#include "json.h"

#include <QJsonDocument>
#include <cmath>

namespace json {
namespace {

void writeString(QByteArray &out, const QString &s)
{
    out += '"';
    // Plain ASCII without anything to escape goes straight in (most keys,
    // paths' digits, times, codes): no UTF-8 copy of its own.
    {
        const int n = s.size();
        const QChar *c = s.constData();
        bool ascii = true;
        for (int i = 0; i < n && ascii; ++i) {
            const ushort u = c[i].unicode();
            ascii = u >= 0x20 && u < 0x80 && u != '"' && u != '\\' && u != '/' && u != '[' && u != ']';
        }
        if (ascii) {
            const int at = out.size();
            out.resize(at + n);
            char *d = out.data() + at;
            for (int i = 0; i < n; ++i)
                d[i] = char(c[i].unicode());
            out += '"';
            return;
        }
    }
    const QByteArray u = s.toUtf8();
    // Most text needs no escape at all: copied in one piece.
    bool plain = true;
    for (char ch : u) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == '"' || c == '\\' || c == '/' || c == '[' || c == ']') {
            plain = false;
            break;
        }
    }
    if (plain) {
        out += u;
        out += '"';
        return;
    }
    for (char ch : u) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '[': out += "\\u005b"; break;
        case ']': out += "\\u005d"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void writeValue(QByteArray &out, const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: out += "null"; break;
    case QJsonValue::Bool: out += v.toBool() ? "true" : "false"; break;
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) {
            out += "null";
        } else if (d == std::floor(d) && std::fabs(d) < 9007199254740992.0) {
            out += QByteArray::number(static_cast<qint64>(d));
        } else {
            out += QByteArray::number(d, 'g', 17);
        }
        break;
    }
    case QJsonValue::String: writeString(out, v.toString()); break;
    case QJsonValue::Array: {
        out += '[';
        bool first = true;
        for (const QJsonValue &e : v.toArray()) {
            if (!first)
                out += ',';
            first = false;
            writeValue(out, e);
        }
        out += ']';
        break;
    }
    case QJsonValue::Object: {
        out += '{';
        const QJsonObject o = v.toObject();
        bool first = true;
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!first)
                out += ',';
            first = false;
            writeString(out, it.key());
            out += ':';
            writeValue(out, it.value());
        }
        out += '}';
        break;
    }
    }
}

} // namespace

void appendString(QByteArray &out, const QString &s) { writeString(out, s); }

void appendValue(QByteArray &out, const QJsonValue &v) { writeValue(out, v); }

QByteArray write(const QJsonValue &value)
{
    QByteArray out;
    writeValue(out, value);
    return out;
}

QString text(const QJsonValue &value) { return QString::fromUtf8(write(value)); }

QByteArray envelope(int code, const QJsonValue &msg, const QJsonValue &data)
{
    // Written by hand so that the keys keep the service's order.
    QByteArray out = "{\"Code\":" + QByteArray::number(code) + ",\"Msg\":";
    writeValue(out, msg);
    out += ",\"data\":";
    writeValue(out, data.isUndefined() ? QJsonValue() : data);
    out += '}';
    return out;
}

QJsonValue parse(const QByteArray &text)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &err);
    if (err.error != QJsonParseError::NoError)
        return QJsonValue();
    if (doc.isArray())
        return doc.array();
    if (doc.isObject())
        return doc.object();
    return QJsonValue();
}

} // namespace json
