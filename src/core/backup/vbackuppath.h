#pragma once

#include <QString>

// Where a server file is backed up to. Server names never become local paths
// any other way.
namespace VBackupPath {

// The local file for serverPath ("/<school>/<section>/a/b.txt") under root:
// root + "/a/b.txt" with every segment through the one cleaning of server
// names (cleanFileName). Refused (empty result, reason
// in *error) when the path does not start with "/<school>/<section>/", or
// holds an empty, "." or ".." segment, a backslash, a NUL or a drive form
// ("C:"), or when the result would not lie strictly under root.
QString localTarget(const QString &root, const QString &school, const QString &section, const QString &serverPath,
                    QString *error = nullptr);

} // namespace VBackupPath
