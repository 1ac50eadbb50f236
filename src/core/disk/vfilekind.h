#pragma once

#include <QString>

// The picture a listing shows for a file: one of the names under
// ":/images/min/" and ":/images/max/" (without ".png").
namespace VFileKind {
QString iconName(const QString &extension, bool isdir);
// ":/images/min/<kind>.png" (list) or ":/images/max/<kind>.png" (icon view).
QString iconPath(const QString &extension, bool isdir, bool large);
} // namespace VFileKind
