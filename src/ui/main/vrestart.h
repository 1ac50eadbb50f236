#pragma once

#include <QStringList>

// Starting the program afresh into the login dialog: the own executable,
// detached, with the server override this process was started with.
class VRestart
{
public:
    // "--server URL" (or "--server=URL") taken from the given command line.
    static QStringList arguments(const QStringList &commandLine);
    // Starts the copy; true when it could be started.
    static bool start();
};
