#pragma once

#include <QString>

// The one cleaning of a name from the server before it names a local file
// (downloads and their Content-Disposition, folder downloads, backup, edit
// copies): only the last path element counts, whichever separator the server
// used; control characters and the characters no file system takes
// (: * ? " < > |) are dropped; trailing dots and spaces go, because some file
// systems drop them silently and "a." would name the file "a" there.
// An empty result ("", ".", ".." or nothing left) means: refuse the name.
QString cleanFileName(const QString &name);
