#pragma once
// The Range header of a download request.
#include <QtGlobal>

#include <string>

// Parses "bytes=a-b", "bytes=a-" and "bytes=-n" against a file of size bytes
// into the inclusive [*from, *to]. Answers false for a header that cannot be
// satisfied; *ranged stays false without a usable header (no header, another
// unit), and the whole file is sent.
bool parseRangeHeader(const std::string &header, qint64 size, qint64 *from, qint64 *to, bool *ranged);
