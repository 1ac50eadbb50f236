#pragma once
// Keyboard and screen-reader checks for any window or page.
//
//     QStringList bad = unnamedControls(&dialog);
//     QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
//
// unnamedControls() walks the widget tree under root (root included) and
// names every clickable control or field a screen reader would announce
// without a name: buttons (QAbstractButton), text fields, combo boxes, spin
// boxes, sliders, item views, and clickable labels or custom widgets (those
// with a clicked signal or a pointing-hand cursor). A control counts as named
// when its accessible interface has a name (accessibleName, the button's
// text, a buddy label) or, for buttons, a tool tip. Only widgets that show
// when root shows are checked (isVisibleTo); the insides of combo boxes and
// spin boxes belong to them. Each enabled row of an item view needs a text
// (its display text, or Qt::AccessibleTextRole when a widget draws the row),
// and each action of a menu a text. Each entry reads
// "Class objectName (parent path)", with " row N" for a row.
//
// tabChain() lists the widgets that take the Tab key, in the order Tab visits
// them from the first one under root, as "objectName" (or "Class#n" for
// unnamed ones): compare it with the order of the layout.
#include <QStringList>

class QWidget;

QStringList unnamedControls(const QWidget *root);
QString accessibleNameOf(const QWidget *w);
QStringList tabChain(QWidget *root);
