#include "bendibeifen/vbendibeifen_icons.h"

#include <QHash>

#include "utils/vutils.h"

namespace VBendibeifenIcons {

QPixmap fileIcon(const QString &ext, bool isdir)
{
    static QHash<QString, QPixmap> cache;
    QString kind;
    const QString e = ext.toLower();
    if (isdir)
        kind = QStringLiteral("folder");
    else if (VUtils::wordExtensions().contains(e) || VUtils::pdfExtensions().contains(e))
        kind = QStringLiteral("docx");
    else if (VUtils::excelExtensions().contains(e))
        kind = QStringLiteral("xlsx");
    else if (VUtils::powerPointExtensions().contains(e))
        kind = QStringLiteral("pptx");
    else if (e == QLatin1String("html") || e == QLatin1String("htm"))
        kind = QStringLiteral("html");
    else
        kind = QStringLiteral("other");
    auto it = cache.find(kind);
    if (it == cache.end())
        it = cache.insert(kind, QPixmap(QStringLiteral(":/images/min/%1.png").arg(kind)));
    return it.value();
}

} // namespace VBendibeifenIcons
