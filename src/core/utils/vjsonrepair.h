#pragma once
// Reading the service's replies and the stored copies of them: "//" is
// removed, and arrays sent as strings ("[...]") become arrays. An empty
// document when the text is not JSON.
#include <QJsonDocument>
#include <QString>

QJsonDocument parseRepairedJson(const QString &text);
