#pragma once

#include <QWidget>

// What the main window asks of a page: reload its content when it is selected
// (recent, favourites, recycle bin, transfer list) and, for the disk view,
// list a path and report the one shown.
class VPage : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void reload() {}
    virtual void openPath(const QString &path) { Q_UNUSED(path) }
    virtual QString currentPath() const { return QString(); }
};
