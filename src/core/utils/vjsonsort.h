#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QVector>

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

    // The dense rank of every element under each key, ascending (the keys'
    // directions are ignored): equal keys share a rank, ranks start at 0 and
    // leave no gaps. Sorting the elements by their ranks, ties kept in
    // array order, gives the order sort() gives; ranks of several keys can
    // be combined without reading the JSON again. The array is read once
    // for all keys.
    static QVector<QVector<int>> ranks(const QJsonArray &array, const QList<Key> &keys);

    // The locale whose collation orders text keys: the system locale, or
    // en_US (the root collation) when the system has the C locale, where
    // there would be no numeric ordering at all.
    static QString collationLocale();
};
