#pragma once

#include <QString>
#include <QtGlobal>

// The system calls the updater needs. Kept apart from the rest of the
// platform layer because the updater links only Qt Core.
namespace VUpdaterPlatform {

// True while the process exists and has not ended (an ended child that nobody
// reaped yet counts as ended).
bool isProcessRunning(qint64 pid);

// Moves from onto to in one step, replacing to when it exists (both on one
// file system). False when the system refused.
bool replaceFile(const QString &from, const QString &to);

} // namespace VUpdaterPlatform
