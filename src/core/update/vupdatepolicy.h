#pragma once

#include <QJsonObject>
#include <QString>

// What the update check does with a published description: nothing, an
// error, the client download page (a full reinstall) or the update in place.
class VUpdatePolicy
{
public:
    enum Action { Nothing, Error, DownloadPage, InPlace };
    struct Decision
    {
        Action action = Nothing;
        QString message; // error or prompt text
    };

    // The facts besides the description that decide it.
    struct Facts
    {
        QString ownVersion;
        QString programDir;   // folder of the running program file
        QString programName;  // its file name (an update never deletes it)
        bool managed = false; // the package manager owns the program files
        bool insecureTls = false;
    };

    // The running program's facts (own version, program folder, package
    // marker or a folder it cannot write, ORVEL_INSECURE_TLS).
    static Facts currentFacts();
    static Decision decide(const QJsonObject &description, const Facts &facts);

    // A program folder that is not ours to change: the package manager's
    // marker is in it, or it (or its update folder) cannot be written.
    static bool isManagedInstall(const QString &programDir);
};
