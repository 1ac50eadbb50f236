#pragma once
// Text of a stored document for the preview pages (plain text, the Office
// Open XML formats and simple PDFs), and writers of small but well-formed
// documents of those kinds for the demo data.
#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>

namespace doctext {

// At most a few hundred KiB of text; empty when the kind holds none.
QString extract(const QString &path, const QString &ext);

QByteArray zip(const QList<QPair<QString, QByteArray>> &entries);
QByteArray docx(const QString &title, const QStringList &paragraphs);
QByteArray xlsx(const QString &sheet, const QList<QStringList> &rows);
QByteArray pptx(const QString &title, const QStringList &lines);
QByteArray pdf(const QString &title, const QStringList &lines);

} // namespace doctext
