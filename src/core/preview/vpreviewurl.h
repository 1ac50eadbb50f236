#pragma once

#include <QString>

#include "records/m_info_file.h"

// The address a file is previewed at: images and text files through the
// preview service ("preview/?url=...&filetype=...&title=..."), office
// documents through the office viewer with the file's WOPI source. Large
// documents are refused with the message the user sees.
namespace VPreviewUrl {

constexpr qint64 kSheetLimit = 5242880;  // spreadsheets: 5 MiB
constexpr qint64 kOtherLimit = 10485760; // other documents: 10 MiB

struct Bases
{
    QString download; // "upserver" of the file server address reply
    QString preview;  // preview service root (web root unless configured)
    QString docs;     // office viewer root
    QString api;      // API root
    QString token;
};

struct Result
{
    QString url;   // empty: nothing opens
    QString error; // set when the file is refused (size)
};

// Lower-case extension of the entry (its own field first, else its name).
QString extensionOf(const M_info_file &file);
Result build(const M_info_file &file, const Bases &bases);
// The preview test before a file is handed over: the preview right (bit 1
// of its code, or an administrator), and an image, or a document with a
// viewer for its extension or a text file. category: 3 image, 4 document.
bool canPreview(const QString &extension, int category, const QString &permissioncode, bool isadmin);
// The address with its token values replaced, for the log.
QString masked(const QString &url);

} // namespace VPreviewUrl
