#include "doctext.h"

#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <zlib.h>

namespace doctext {
namespace {

const qint64 kMaxText = 256 * 1024;

QString stripXml(const QByteArray &xml, const char *breakTag)
{
    QString s = QString::fromUtf8(xml);
    s.replace(QRegularExpression(QStringLiteral("</%1>").arg(QLatin1String(breakTag))), QStringLiteral("\n"));
    s.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    s.replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\"")).replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s.trimmed();
}

quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// Entries of a zip archive (stored or deflated) whose names match.
QList<QPair<QString, QByteArray>> unzip(const QByteArray &z, const QRegularExpression &want)
{
    QList<QPair<QString, QByteArray>> out;
    const int eocd = z.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (eocd < 0 || eocd + 22 > z.size())
        return out;
    int pos = int(u32(z, eocd + 16));
    const int count = u16(z, eocd + 10);
    for (int i = 0; i < count && pos + 46 <= z.size(); ++i) {
        if (u32(z, pos) != 0x02014b50)
            break;
        const int method = u16(z, pos + 10);
        const quint32 csize = u32(z, pos + 20), usize = u32(z, pos + 24);
        const int nlen = u16(z, pos + 28), elen = u16(z, pos + 30), clen = u16(z, pos + 32);
        const quint32 local = u32(z, pos + 42);
        const QString name = QString::fromUtf8(z.mid(pos + 46, nlen));
        pos += 46 + nlen + elen + clen;
        if (!want.match(name).hasMatch() || local + 30 > quint32(z.size()) || usize > 64u * 1024 * 1024)
            continue;
        const int data = int(local) + 30 + u16(z, int(local) + 26) + u16(z, int(local) + 28);
        if (data + qint64(csize) > z.size())
            continue;
        if (method == 0) {
            out.append({name, z.mid(data, int(csize))});
        } else if (method == 8) {
            QByteArray buf(int(usize), Qt::Uninitialized);
            z_stream zs{};
            if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
                continue;
            zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(z.constData() + data));
            zs.avail_in = csize;
            zs.next_out = reinterpret_cast<Bytef *>(buf.data());
            zs.avail_out = usize;
            const int rc = inflate(&zs, Z_FINISH);
            inflateEnd(&zs);
            if (rc == Z_STREAM_END)
                out.append({name, buf.left(int(zs.total_out))});
        }
    }
    return out;
}

QString officeText(const QByteArray &z, const QString &ext)
{
    QString text;
    if (ext.startsWith(QLatin1String("doc"))) {
        for (const auto &e : unzip(z, QRegularExpression(QStringLiteral("^word/document\\.xml$"))))
            text += stripXml(e.second, "w:p");
    } else if (ext.startsWith(QLatin1String("xls"))) {
        for (const auto &e : unzip(z, QRegularExpression(QStringLiteral("^xl/(sharedStrings|worksheets/sheet\\d+)\\.xml$"))))
            text += stripXml(e.second, "si") + QLatin1Char('\n');
    } else if (ext.startsWith(QLatin1String("ppt")) || ext.startsWith(QLatin1String("pps"))) {
        auto slides = unzip(z, QRegularExpression(QStringLiteral("^ppt/slides/slide\\d+\\.xml$")));
        std::sort(slides.begin(), slides.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &e : slides)
            text += stripXml(e.second, "a:p") + QStringLiteral("\n\n");
    }
    return text.trimmed();
}

QString pdfText(const QByteArray &b)
{
    // Literal strings of text operators in uncompressed content streams.
    QString text;
    static const QRegularExpression re(QStringLiteral("\\(((?:[^()\\\\]|\\\\.)*)\\)\\s*Tj"));
    auto it = re.globalMatch(QString::fromLatin1(b));
    while (it.hasNext()) {
        QString t = it.next().captured(1);
        t.replace(QLatin1String("\\("), QLatin1String("(")).replace(QLatin1String("\\)"), QLatin1String(")"))
            .replace(QLatin1String("\\\\"), QLatin1String("\\"));
        text += QString::fromUtf8(t.toLatin1()) + QLatin1Char('\n');
    }
    return text.trimmed();
}

QByteArray xmlEscape(const QString &s) { return s.toHtmlEscaped().toUtf8(); }

} // namespace

QString extract(const QString &path, const QString &ext)
{
    static const QStringList plain{"txt", "md", "csv", "log", "json", "xml", "html", "htm", "ini", "c", "cpp", "h", "py", "js"};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    if (plain.contains(ext))
        return QString::fromUtf8(f.read(kMaxText));
    if (f.size() > 32 * 1024 * 1024)
        return QString();
    const QByteArray all = f.readAll();
    if (ext == QLatin1String("pdf"))
        return pdfText(all).left(int(kMaxText));
    return officeText(all, ext).left(int(kMaxText));
}

QByteArray zip(const QList<QPair<QString, QByteArray>> &entries)
{
    QByteArray out, central;
    auto le16 = [](QByteArray &b, quint16 v) { char c[2]; qToLittleEndian(v, c); b.append(c, 2); };
    auto le32 = [](QByteArray &b, quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); };
    for (const auto &e : entries) {
        const QByteArray name = e.first.toUtf8();
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(e.second.constData()), uInt(e.second.size())));
        const quint32 offset = quint32(out.size());
        le32(out, 0x04034b50); le16(out, 20); le16(out, 0x0800); le16(out, 0); le16(out, 0); le16(out, 0x21);
        le32(out, crc); le32(out, quint32(e.second.size())); le32(out, quint32(e.second.size()));
        le16(out, quint16(name.size())); le16(out, 0);
        out += name;
        out += e.second;
        le32(central, 0x02014b50); le16(central, 20); le16(central, 20); le16(central, 0x0800); le16(central, 0);
        le16(central, 0); le16(central, 0x21); le32(central, crc); le32(central, quint32(e.second.size()));
        le32(central, quint32(e.second.size())); le16(central, quint16(name.size())); le16(central, 0); le16(central, 0);
        le16(central, 0); le16(central, 0); le32(central, 0); le32(central, offset);
        central += name;
    }
    const quint32 cdOffset = quint32(out.size());
    out += central;
    le32(out, 0x06054b50); le16(out, 0); le16(out, 0); le16(out, quint16(entries.size())); le16(out, quint16(entries.size()));
    le32(out, quint32(central.size())); le32(out, cdOffset); le16(out, 0);
    return out;
}

QByteArray docx(const QString &title, const QStringList &paragraphs)
{
    QByteArray body;
    body += "<w:p><w:r><w:t>" + xmlEscape(title) + "</w:t></w:r></w:p>";
    for (const QString &p : paragraphs)
        body += "<w:p><w:r><w:t xml:space=\"preserve\">" + xmlEscape(p) + "</w:t></w:r></w:p>";
    return zip({
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
             + body + "</w:body></w:document>"},
    });
}

QByteArray xlsx(const QString &sheet, const QList<QStringList> &rows)
{
    QByteArray data;
    int r = 1;
    for (const QStringList &row : rows) {
        data += "<row r=\"" + QByteArray::number(r) + "\">";
        for (const QString &cell : row)
            data += "<c t=\"inlineStr\"><is><t>" + xmlEscape(cell) + "</t></is></c>";
        data += "</row>";
        ++r;
    }
    return zip({
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets><sheet name=\""
             + xmlEscape(sheet) + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
             + data + "</sheetData></worksheet>"},
    });
}

QByteArray pptx(const QString &title, const QStringList &lines)
{
    QByteArray paras = "<a:p><a:r><a:t>" + xmlEscape(title) + "</a:t></a:r></a:p>";
    for (const QString &l : lines)
        paras += "<a:p><a:r><a:t>" + xmlEscape(l) + "</a:t></a:r></a:p>";
    return zip({
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/ppt/presentation.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml\"/>"
         "<Override PartName=\"/ppt/slides/slide1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slide+xml\"/></Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"ppt/presentation.xml\"/></Relationships>"},
        {"ppt/presentation.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p:presentation xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId1\"/></p:sldIdLst></p:presentation>"},
        {"ppt/_rels/presentation.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide\" Target=\"slides/slide1.xml\"/></Relationships>"},
        {"ppt/slides/slide1.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p:sld xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
         "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><p:cSld><p:spTree><p:sp><p:txBody>"
             + paras + "</p:txBody></p:sp></p:spTree></p:cSld></p:sld>"},
    });
}

QByteArray pdf(const QString &title, const QStringList &lines)
{
    // One page, Helvetica, ASCII text only (the built-in fonts know no CJK).
    auto esc = [](QString s) {
        QByteArray b;
        for (QChar ch : s)
            b += ch.unicode() < 128 ? char(ch.unicode()) : '?';
        return b.replace('\\', "\\\\").replace('(', "\\(").replace(')', "\\)");
    };
    QByteArray content = "BT /F1 18 Tf 72 760 Td (" + esc(title) + ") Tj ET\n";
    int y = 730;
    for (const QString &l : lines) {
        content += "BT /F1 11 Tf 72 " + QByteArray::number(y) + " Td (" + esc(l) + ") Tj ET\n";
        y -= 16;
    }
    QList<QByteArray> objs{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    QByteArray out = "%PDF-1.4\n";
    QList<int> offsets;
    for (int i = 0; i < objs.size(); ++i) {
        offsets.append(out.size());
        out += QByteArray::number(i + 1) + " 0 obj\n" + objs.at(i) + "\nendobj\n";
    }
    const int xref = out.size();
    out += "xref\n0 " + QByteArray::number(objs.size() + 1) + "\n0000000000 65535 f \n";
    for (int o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objs.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

} // namespace doctext
