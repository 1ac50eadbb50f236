#include "records/m_bak_config.h"

#include <QJsonDocument>

#include "records/jsonread.h"

QJsonObject M_bak_config::toJson() const
{
    return QJsonObject{{QStringLiteral("localpath"), localpath},
                       {QStringLiteral("isopen"), isopen},
                       {QStringLiteral("time"), time},
                       {QStringLiteral("isfirst"), isfirst},
                       {QStringLiteral("lasttime"), lasttime.isValid()
                                                        ? QJsonValue(QString::number(lasttime.toMSecsSinceEpoch()))
                                                        : QJsonValue()}};
}

M_bak_config M_bak_config::fromJson(const QJsonObject &o)
{
    using namespace JsonRead;
    M_bak_config c;
    c.localpath = toText(o, "localpath");
    c.isopen = toFlag(o, "isopen");
    if (o.contains(QStringLiteral("time")))
        c.time = toInt(o, "time");
    if (o.contains(QStringLiteral("isfirst")))
        c.isfirst = toFlag(o, "isfirst");
    bool ok = false;
    const qint64 ms = toText(o, "lasttime").toLongLong(&ok);
    if (ok && ms > 0)
        c.lasttime = QDateTime::fromMSecsSinceEpoch(ms);
    c.status = c.isopen ? 1 : 0;
    return c;
}

M_bak_config M_bak_config::fromStore(const QString &text, int id)
{
    const QJsonObject all = QJsonDocument::fromJson(text.toUtf8()).object();
    const QJsonValue v = all.value(QString::number(id));
    return v.isObject() ? fromJson(v.toObject()) : M_bak_config();
}

QString M_bak_config::toStore(const QString &text, int id, const M_bak_config &cfg)
{
    QJsonObject all = QJsonDocument::fromJson(text.toUtf8()).object();
    all.insert(QString::number(id), cfg.toJson());
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
}
