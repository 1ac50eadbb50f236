#pragma once

#include <QString>

class QHBoxLayout;
class QListWidget;
class QPushButton;
class QWidget;
class VDialog;

// Pieces the list pages share: the footer strip under a grid, the link-like
// footer buttons, and the bar of a log page (back button and two tabs).
namespace VPageParts {

// A 40-pixel footer; its row layout is returned through layout.
QWidget *footer(QWidget *parent, QHBoxLayout **layout);
QPushButton *linkButton(const QString &text, const QString &objectName, const QString &accessibleName,
                        QWidget *parent);

struct LogBar
{
    QWidget *bar = nullptr;
    QPushButton *back = nullptr;
    QPushButton *first = nullptr;
    QPushButton *second = nullptr;
};
LogBar logBar(QWidget *parent, const QString &backText, const QString &firstTab, const QString &secondTab);

// The list of a failure report: one rich-text row per item, nothing to select.
QListWidget *reportList(const QString &accessibleName, QWidget *parent);
// A row of it: the (escaped) rich text and the text a screen reader reads.
void addReportRow(QListWidget *list, const QString &html, const QString &accessibleText);

// OK and cancel with their texts as names; Enter does not press them.
void nameButtons(VDialog *dialog, const QString &ok, const QString &cancel);

} // namespace VPageParts
