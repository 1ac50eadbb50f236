#pragma once

#include <QString>

class QHBoxLayout;
class QLabel;
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

// The frame of a failure report: the title, a head line (the headline in
// bold, then who ran the act from where) and the empty report list, which is
// returned for the caller's rows. Only OK is offered.
QListWidget *failureReport(VDialog *dialog, const QString &objectName, const QString &title,
                           const QString &headline, const QString &client, const QString &ip,
                           const QString &user, const QString &listName);

// The body of a dialog that asks about name clashes one at a time: the title
// and the rich-text label the clash is told in; the check box is named.
QLabel *clashBody(VDialog *dialog, const QString &objectName);
// Tells one clash (question and the server's message, both escaped) and
// offers the check box while clashes are still to come. firstBoxText, when
// given, is the box's text at the first clash.
void showClash(VDialog *dialog, QLabel *label, const QString &question, const QString &msg, int index,
               int count, const QString &firstBoxText = QString());
// The last clash the choice just made covers: all of them when the check box
// is ticked, else the current one. The box is cleared for the next question.
int clashChoiceEnd(VDialog *dialog, int index, int count);

} // namespace VPageParts
