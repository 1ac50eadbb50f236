#pragma once

#include <QJsonArray>
#include <QString>

// Native sorting of JSON lists of objects (behind VUtils::sortJsonArray).
// Text keys are ordered by the system locale's collation in numeric mode
// (the same ICU rules QCollator applies), numbers as numbers.
class VJsonSort
{
public:
    struct Key
    {
        QString name;
        bool numeric = false;
        bool descending = false;
    };

    // Stable sort by the keys in order (a later key only breaks ties).
    static QJsonArray sort(const QJsonArray &array, const Key &first);
    static QJsonArray sort(const QJsonArray &array, const Key &first, const Key &second);

    // The locale whose collation orders text keys: the system locale, or
    // en_US (the root collation) when the system has the C locale, where
    // there would be no numeric ordering at all.
    static QString collationLocale();
};
