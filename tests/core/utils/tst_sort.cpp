#include "utils/vjsonsort.h"
#include "utils/vutils.h"

#include <QCollator>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QScriptEngine>
#include <QtTest>

// The native list sort: agreement with the script-engine sort it replaces
// (where the two comparisons coincide), collation, and bad keys.
class TestSort : public QObject
{
    Q_OBJECT

    // The generated-script sort as the list views used to run it.
    static QJsonArray scriptSort(const QJsonArray &array, const QString &key, bool descending, bool numeric)
    {
        const QString a = descending ? "b" : "a", b = descending ? "a" : "b";
        QString fn = "function sort(str){var arr = eval(str);arr.sort(function(a,b){";
        fn += numeric ? QString("return %1.%2 - %3.%4").arg(a, key, b, key)
                      : QString("return %1.%2.localeCompare(%3.%4)").arg(a, key, b, key);
        fn += "});return JSON.stringify(arr);}";
        return run(fn, array);
    }

    static QJsonArray scriptSort2(const QJsonArray &array, const QString &k1, const QString &k2, bool descending,
                                  bool n1, bool n2)
    {
        const QString a = descending ? "b" : "a", b = descending ? "a" : "b";
        QString fn = "function sort(str){var arr = eval(str);arr.sort(function(a,b){";
        fn += QString("if(%1.%2 != %3.%4){").arg(a, k1, b, k1);
        fn += n1 ? QString("return %1.%2 - %3.%4").arg(a, k1, b, k1)
                 : QString("return %1.%2.localeCompare(%3.%4)").arg(a, k1, b, k1);
        fn += "}";
        // The second key runs the other way.
        fn += n2 ? QString("return %1.%2 - %3.%4").arg(b, k2, a, k2)
                 : QString("return %1.%2.localeCompare(%3.%4)").arg(b, k2, a, k2);
        fn += "});return JSON.stringify(arr);}";
        return run(fn, array);
    }

    static QJsonArray run(const QString &fn, const QJsonArray &array)
    {
        QScriptEngine engine;
        engine.evaluate(fn);
        const QString text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
        const QScriptValue r = engine.globalObject().property("sort").call(QScriptValue(), QScriptValueList() << QScriptValue(text));
        return VUtils::toJsonArray(r.toString());
    }

    static QString letters(QRandomGenerator &rng)
    {
        QString s;
        const int n = 1 + int(rng.bounded(8));
        for (int i = 0; i < n; ++i)
            s += QChar('a' + int(rng.bounded(26)));
        return s;
    }

    // Distinct numbers (some sent as text), distinct lower-case names, and a
    // folder flag with ties that only the second key breaks.
    static QJsonArray listing(int n, quint32 seed)
    {
        QRandomGenerator rng(seed);
        QSet<QString> names;
        QSet<int> sizes;
        QJsonArray arr;
        while (arr.size() < n) {
            const QString name = letters(rng);
            const int size = int(rng.bounded(1000000));
            if (names.contains(name) || sizes.contains(size))
                continue;
            names.insert(name);
            sizes.insert(size);
            QJsonObject o;
            o.insert("filename", name);
            o.insert("filesize", rng.bounded(2) ? QJsonValue(QString::number(size)) : QJsonValue(size));
            o.insert("isdir", int(rng.bounded(2)));
            arr.append(o);
        }
        return arr;
    }

    static QStringList names(const QJsonArray &arr, const QString &key = "filename")
    {
        QStringList out;
        for (const QJsonValue &v : arr)
            out << v.toObject().value(key).toVariant().toString();
        return out;
    }

    static QJsonArray objects(const QStringList &values, const QString &key = "filename")
    {
        QJsonArray arr;
        for (const QString &v : values)
            arr.append(QJsonObject{{key, v}});
        return arr;
    }

private slots:
    void agreesWithScriptSort_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<bool>("descending");
        QTest::newRow("size-asc") << "filesize" << true << false;
        QTest::newRow("size-desc") << "filesize" << true << true;
        QTest::newRow("name-asc") << "filename" << false << false;
        QTest::newRow("name-desc") << "filename" << false << true;
    }

    void agreesWithScriptSort()
    {
        QFETCH(QString, key);
        QFETCH(bool, numeric);
        QFETCH(bool, descending);
        for (quint32 seed : {1u, 2u, 3u}) {
            const QJsonArray arr = listing(300, seed);
            const QJsonArray mine = VUtils::sortJsonArray(arr, key, descending, numeric);
            const QJsonArray theirs = scriptSort(arr, key, descending, numeric);
            QCOMPARE(theirs.size(), arr.size());
            QCOMPARE(names(mine), names(theirs));
        }
    }

    void twoKeysAgreeWithScriptSort_data()
    {
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("numeric2");
        QTest::newRow("asc-name") << false << "filename" << false;
        QTest::newRow("desc-name") << true << "filename" << false;
        QTest::newRow("asc-size") << false << "filesize" << true;
        QTest::newRow("desc-size") << true << "filesize" << true;
    }

    void twoKeysAgreeWithScriptSort()
    {
        QFETCH(bool, descending);
        QFETCH(QString, second);
        QFETCH(bool, numeric2);
        const QJsonArray arr = listing(300, 7);
        const QJsonArray mine = VUtils::sortJsonArray(arr, "isdir", second, descending, true, numeric2);
        QCOMPARE(names(mine), names(scriptSort2(arr, "isdir", second, descending, true, numeric2)));
    }

    void twoKeysSecondRunsOpposite()
    {
        QJsonArray arr;
        arr.append(QJsonObject{{"isdir", 0}, {"filename", "b"}});
        arr.append(QJsonObject{{"isdir", 1}, {"filename", "x"}});
        arr.append(QJsonObject{{"isdir", 0}, {"filename", "a"}});
        arr.append(QJsonObject{{"isdir", 1}, {"filename", "y"}});
        // Ascending on the first key: equal first keys in descending name order.
        QCOMPARE(names(VUtils::sortJsonArray(arr, "isdir", "filename", false, true, false)),
                 QStringList({"b", "a", "y", "x"}));
        // Folders first, then names A to Z.
        QCOMPARE(names(VUtils::sortJsonArray(arr, "isdir", "filename", true, true, false)),
                 QStringList({"x", "y", "a", "b"}));
    }

    void numbersInNamesCompareAsNumbers()
    {
        const QStringList in{"file10", "file2", "file1", "file20", "file3"};
        QCOMPARE(names(VUtils::sortJsonArray(objects(in), "filename", false, false)),
                 QStringList({"file1", "file2", "file3", "file10", "file20"}));
    }

    void chineseByTheLocale()
    {
        // Started under zh_CN (see main): pinyin order a, bei, zhong, not
        // the code-point order 中 < 北 < 阿.
        QCOMPARE(VJsonSort::collationLocale(), QStringLiteral("zh_CN"));
        const QStringList in{"中国", "北京", "阿里"};
        QCOMPARE(names(VUtils::sortJsonArray(objects(in), "filename", false, false)),
                 QStringList({"阿里", "北京", "中国"}));
    }

    void agreesWithQCollator()
    {
        QCollator c{QLocale(VJsonSort::collationLocale())};
        c.setNumericMode(true);
        QRandomGenerator rng(11);
        static const QStringList parts{"报告", "Report", "report", "b", "B", "课程", "2", "10", "_", " ", "é", "ß",
                                       "a.b", "a-b", "资料", "x"};
        QStringList in;
        for (int i = 0; i < 2000; ++i) {
            QString s;
            const int n = 1 + int(rng.bounded(4));
            for (int j = 0; j < n; ++j)
                s += parts.at(int(rng.bounded(parts.size())));
            in << s;
        }
        const QStringList out = names(VUtils::sortJsonArray(objects(in), "filename", false, false));
        QCOMPARE(out.size(), in.size());
        for (int i = 1; i < out.size(); ++i)
            QVERIFY2(c.compare(out.at(i - 1), out.at(i)) <= 0, qPrintable(out.at(i - 1) + " > " + out.at(i)));
    }

    void missingKeyCountsAsEmpty()
    {
        QJsonArray arr;
        arr.append(QJsonObject{{"filename", "b"}, {"filesize", 5}});
        arr.append(QJsonObject{{"other", 1}});
        arr.append(QJsonObject{{"filename", "a"}, {"filesize", "-3"}});
        arr.append(QString("not an object"));
        const QJsonArray byName = VUtils::sortJsonArray(arr, "filename", false, false);
        QCOMPARE(byName.size(), 4); // nothing dropped
        QCOMPARE(byName.at(0).toObject().value("other").toInt(), 1);
        QCOMPARE(byName.at(1), QJsonValue("not an object"));
        QCOMPARE(byName.at(2).toObject().value("filename").toString(), QString("a"));
        const QJsonArray bySize = VUtils::sortJsonArray(arr, "filesize", false, true);
        QCOMPARE(bySize.size(), 4);
        QCOMPARE(bySize.at(0).toObject().value("filename").toString(), QString("a")); // -3
        QCOMPARE(bySize.at(3).toObject().value("filename").toString(), QString("b")); // 5
    }

    void numericTextAndNumbersMix()
    {
        QJsonArray arr;
        for (const QJsonValue &v : {QJsonValue("10"), QJsonValue(9), QJsonValue(" 100 "), QJsonValue(2.5),
                                    QJsonValue("1e3")})
            arr.append(QJsonObject{{"n", v}});
        QCOMPARE(names(VUtils::sortJsonArray(arr, "n", false, true), "n"),
                 QStringList({"2.5", "9", "10", " 100 ", "1e3"}));
    }

    void tiesKeepTheirOrder()
    {
        QJsonArray arr;
        for (int i = 0; i < 50; ++i)
            arr.append(QJsonObject{{"k", i % 3}, {"i", i}});
        for (bool desc : {false, true}) {
            const QJsonArray out = VUtils::sortJsonArray(arr, "k", desc, true);
            for (int i = 1; i < out.size(); ++i) {
                const QJsonObject p = out.at(i - 1).toObject(), q = out.at(i).toObject();
                if (p.value("k") == q.value("k"))
                    QVERIFY(p.value("i").toInt() < q.value("i").toInt());
            }
        }
    }

    void largeAndSmallLists()
    {
        QCOMPARE(VUtils::sortJsonArray(QJsonArray(), "k", false, false), QJsonArray());
        const QJsonArray one{QJsonObject{{"k", "x"}}};
        QCOMPARE(VUtils::sortJsonArray(one, "k", true, false), one);
        // Large enough for the two-thread key reading; still ordered.
        QJsonArray arr;
        for (int i = 0; i < 50000; ++i)
            arr.append(QJsonObject{{"name", QString("n%1").arg((i * 7919) % 50000)}});
        const QStringList out = names(VUtils::sortJsonArray(arr, "name", false, false), "name");
        QCOMPARE(out.size(), 50000);
        for (int i = 0; i < out.size(); ++i)
            QCOMPARE(out.at(i), QString("n%1").arg(i));
    }
};

int main(int argc, char *argv[])
{
    // The system locale is read at start: run this test under Chinese.
    qputenv("LC_ALL", "zh_CN.UTF-8");
    qputenv("LANG", "zh_CN.UTF-8");
    QCoreApplication app(argc, argv);
    TestSort t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_sort.moc"
