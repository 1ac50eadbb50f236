#include "backup/vbackuppath.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include "utils/vfilename.h"

namespace VBackupPath {

namespace {

const char *const kBadPath = "路径不合法";

bool refuse(QString *error)
{
    if (error)
        *error = QString::fromUtf8(kBadPath);
    return false;
}

} // namespace

QString localTarget(const QString &root, const QString &school, const QString &section, const QString &serverPath,
                    QString *error)
{
    if (error)
        error->clear();
    if (root.isEmpty() || school.isEmpty() || section.isEmpty()) {
        refuse(error);
        return QString();
    }
    if (serverPath.contains(QChar(0)) || serverPath.contains(QLatin1Char('\\'))) {
        refuse(error);
        return QString();
    }
    const QString prefix = QLatin1Char('/') + school + QLatin1Char('/') + section + QLatin1Char('/');
    if (!serverPath.startsWith(prefix, Qt::CaseInsensitive) || serverPath.size() <= prefix.size()) {
        refuse(error);
        return QString();
    }
    const QStringList segments = serverPath.mid(prefix.size()).split(QLatin1Char('/'));
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    QStringList cleaned;
    cleaned.reserve(segments.size());
    for (const QString &s : segments) {
        if (s.isEmpty() || s == QLatin1String(".") || s == QLatin1String("..") || drive.match(s).hasMatch()) {
            refuse(error);
            return QString();
        }
        const QString c = cleanFileName(s);
        if (c.isEmpty()) {
            refuse(error);
            return QString();
        }
        cleaned << c;
    }
    const QString base = QDir::cleanPath(QDir::fromNativeSeparators(root));
    const QString target = QDir::cleanPath(base + QLatin1Char('/') + cleaned.join(QLatin1Char('/')));
    const QString under = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    if (!target.startsWith(under) || target.size() <= under.size()) {
        refuse(error);
        return QString();
    }
    return target;
}

} // namespace VBackupPath
