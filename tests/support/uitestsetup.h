#pragma once
// What the program's start-up does before any window: the core resources and
// record types, and the crypto script the stores and the sign-in need.
#include "context/orvelcore.h"
#include "context/vconfigs.h"

#include <QApplication>
#include <QFile>

inline void uiTestSetup()
{
    initOrvelCore();
    loadCryptoScript();
    // the style sheet, so that widgets are polished (and look) as in the program
    QFile qss(QStringLiteral(":/qss/default.qss"));
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) && qss.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromLatin1(qss.readAll()));
}
