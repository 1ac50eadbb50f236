#pragma once

#include <QString>

#include "records/m_api_fav_info.h"
#include "records/m_api_visit.h"
#include "records/m_fileinfo.h"

// What the recent and favourites pages may do with an entry, and where its
// path link leads. An entry whose file was deleted since (status 1) stays
// listed, but nothing is opened, fetched or edited from it.
namespace VListRules {

enum Op { Preview, Download, Edit };

// Why the operation is refused for this entry; empty when it may go ahead.
QString refusal(Op op, bool deleted, bool isdir);

// Display path of a server path: "/1001/sharedisk/a/b" -> "/a/b/".
QString displayPath(const QString &fullpath);
// The folder holding the item at fullpath, as a display path: the path of
// a recycle-bin entry or a visit names the item itself.
QString containingFolder(const QString &fullpath);
// The text of a path link: section and containing folder ("公共网盘/a/b/").
QString linkText(const QString &bankuai, const QString &fullpath);

// The disk record the file operations take.
M_fileinfo fileOf(const M_api_visit &visit);
M_fileinfo fileOf(const M_api_fav_info &fav);

} // namespace VListRules
