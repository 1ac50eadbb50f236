#include "testshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

void saveShot(QWidget *w, const QString &name)
{
    QString dir = qEnvironmentVariable("ORVEL_SHOT_DIR");
    if (dir.isEmpty())
        dir = qEnvironmentVariable("ORVEL_SHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QCoreApplication::processEvents(); // pending layouts and repaints first
    w->grab().save(dir + QLatin1Char('/') + name);
}
