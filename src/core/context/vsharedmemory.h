#pragma once

#include <QMap>
#include <QSharedMemory>
#include <QString>

// The registry of accounts signed in by running processes: a map from account
// name to the identifier of the process's login window (on Linux the process
// id), kept in a shared-memory segment that every instance attaches.
class VSharedMemory : public QSharedMemory
{
    Q_OBJECT
public:
    static constexpr int kSegmentSize = 10485760;

    static VSharedMemory *instance();
    // "orvelnetdisk", or ORVEL_SHM_KEY when set (isolated instances side by side).
    static QString registryKey();

    // true when the account is registered by a window that still exists and is
    // not ownId: that account is in use by another running instance.
    bool check(const QString &account, quint32 ownId);
    // Registers (or re-registers) the account with ownId.
    void registerAccount(const QString &account, quint32 ownId);
    // The registry as it is now (empty when the segment is unusable).
    QMap<QString, quint32> entries();

    bool usable() const { return m_usable; }

private:
    explicit VSharedMemory(QObject *parent = nullptr);
    QMap<QString, quint32> readLocked();

    bool m_usable = false;
};
