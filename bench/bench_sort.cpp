// sortJsonArray on a large listing: one text key (names), one numeric key
// (sizes), and the two-key folder-first order of the disk list.
// Usage: bench_sort [entries]
#include "utils/vutils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QRandomGenerator rng(42);
    static const QStringList words{"报告", "report", "File", "photo", "课程", "notes", "数据", "backup"};
    // Entries shaped like a disk listing reply, parsed from its text.
    QJsonArray built;
    for (int i = 0; i < n; ++i) {
        QJsonObject o;
        const bool dir = rng.bounded(10) == 0;
        const QString name = words.at(int(rng.bounded(words.size()))) + QString::number(rng.bounded(100000)) +
                             (dir ? QString() : QStringLiteral(".docx"));
        o.insert("id", QString::number(100000 + i));
        o.insert("filename", name);
        o.insert("fileext", dir ? QString() : QStringLiteral("docx"));
        o.insert("fullpath", QStringLiteral("/12/sharedisk/课程资料/") + name);
        o.insert("bankuai", QStringLiteral("sharedisk"));
        o.insert("filesize", QString::number(rng.bounded(1 << 30)));
        o.insert("isdir", dir ? 1 : 0);
        o.insert("createtime", QStringLiteral("2024-03-%1 10:%2:00").arg(1 + rng.bounded(28)).arg(rng.bounded(60)));
        o.insert("createuserid", int(rng.bounded(500)));
        o.insert("createusername", QStringLiteral("张老师"));
        o.insert("filetype", 4);
        o.insert("isadmin", 0);
        o.insert("permissioncode", QStringLiteral("111111111"));
        built.append(o);
    }
    const QJsonArray arr = QJsonDocument::fromJson(QJsonDocument(built).toJson(QJsonDocument::Compact)).array();
    auto time = [&](const char *what, auto fn) {
        double best = 1e9;
        for (int r = 0; r < 3; ++r) {
            QElapsedTimer t;
            t.start();
            const QJsonArray sorted = fn();
            best = std::min(best, t.nsecsElapsed() / 1e6);
            if (sorted.size() != n)
                out << "size mismatch\n";
        }
        out << what << " " << n << " entries ms " << QString::number(best, 'f', 1) << "\n";
    };
    time("sort by name", [&] { return VUtils::sortJsonArray(arr, "filename", false, false); });
    time("sort by size", [&] { return VUtils::sortJsonArray(arr, "filesize", true, true); });
    time("sort folders first, then name",
         [&] { return VUtils::sortJsonArray(arr, "isdir", "filename", true, true, false); });
    return 0;
}
