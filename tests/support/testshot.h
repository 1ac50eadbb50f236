#pragma once
// saveShot(w, "name.png") keeps a picture of a widget for people to look at:
// it is written to $ORVEL_SHOT_DIR (or $ORVEL_SHOTS) when that is set, and
// skipped otherwise.
// Never an assertion: a test that wants to check a look checks pixels itself.
#include <QString>

class QWidget;

void saveShot(QWidget *w, const QString &name);
