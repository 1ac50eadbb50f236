#pragma once

#include "updater/vupdatemanifest.h"

#include <QList>
#include <QString>

// The updater's work, run from the update folder ("<program folder>/AutoUpdate"):
// read "addr.txt" and the install list, wait for the client to end, check
// every waiting file again, install them with backups and one-step renames,
// apply the deletions, and start the client again with its arguments. Any
// failure puts the old files back and starts the old program.
class VUpdateInstaller
{
public:
    enum Result {
        Done = 0,         // installed, client started
        RolledBack = 1,   // failed part-way, old files restored, old client started
        Refused = 2,      // nothing touched (bad hand-over, tampered file)
        Locked = 3,       // another updater holds the lock
        StillRunning = 4, // the client did not end in time: nothing touched
    };

    explicit VUpdateInstaller(const QString &updateDir);

    // How long to wait for the client to end, and how often to look.
    void setWaitTimeoutMs(int ms) { m_waitTimeoutMs = ms; }
    void setPollMs(int ms) { m_pollMs = ms; }

    Result run();
    QString lastError() const { return m_error; }

private:
    struct Step
    {
        QString target;  // file in the program folder
        QString backup;  // where the previous file went, empty for a new file
    };

    Result runLocked();
    bool readHandOver();
    bool verifyFiles();
    bool checkDeletions();
    bool install();
    bool applyDeletions();
    void rollback();
    bool startProgram();
    void cleanUp();
    bool isInside(const QString &path, const QString &folder) const;
    void log(const QString &line);

    QString m_updateDir;
    QString m_programDir;
    QString m_backupDir;
    VUpdateManifest m_manifest;
    QList<Step> m_steps;
    QString m_error;
    int m_waitTimeoutMs = 120000;
    int m_pollMs = 100;
};
