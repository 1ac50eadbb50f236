#pragma once

#include <QString>

// Where a server file is backed up to. Server names never become local paths
// any other way.
namespace VBackupPath {

// One server name made safe as a local file or folder name on every system
// the program runs on: characters Windows refuses (: * ? " < > |) and control
// characters become "_", trailing dots and spaces go. Empty when nothing
// usable is left, or the name is "." or "..".
QString cleanName(const QString &name);

// The local file for serverPath ("/<school>/<section>/a/b.txt") under root:
// root + "/a/b.txt" with every segment cleaned. Refused (empty result, reason
// in *error) when the path does not start with "/<school>/<section>/", or
// holds an empty, "." or ".." segment, a backslash, a NUL or a drive form
// ("C:"), or when the result would not lie strictly under root.
QString localTarget(const QString &root, const QString &school, const QString &section, const QString &serverPath,
                    QString *error = nullptr);

} // namespace VBackupPath
