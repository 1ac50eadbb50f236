#include "context/vsharedmemory.h"

#include "platform/vplatform.h"

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QLoggingCategory>
#include <cstring>

Q_LOGGING_CATEGORY(lcShm, "orvel.shm")

VSharedMemory::VSharedMemory(QObject *parent) : QSharedMemory(parent)
{
    setKey(registryKey());
    // A segment left behind by a crashed process is attached and reused.
    if (attach(QSharedMemory::ReadWrite)) {
        m_usable = size() >= 16;
    } else if (create(kSegmentSize, QSharedMemory::ReadWrite)) {
        m_usable = true;
    } else if (error() == QSharedMemory::AlreadyExists && attach(QSharedMemory::ReadWrite)) {
        // Another process created it between our attach and create.
        m_usable = size() >= 16;
    }
    if (!m_usable)
        qCWarning(lcShm) << "account registry unavailable:" << errorString();
}

VSharedMemory *VSharedMemory::instance()
{
    static VSharedMemory self;
    return &self;
}

QString VSharedMemory::registryKey()
{
    const QString k = qEnvironmentVariable("ORVEL_SHM_KEY");
    return k.isEmpty() ? QStringLiteral("orvelnetdisk") : k;
}

// Caller holds the lock.
QMap<QString, quint32> VSharedMemory::readLocked()
{
    QMap<QString, quint32> map;
    const QByteArray copy(static_cast<const char *>(constData()), size());
    QDataStream in(copy);
    in >> map;
    if (in.status() != QDataStream::Ok)
        map.clear();
    return map;
}

QMap<QString, quint32> VSharedMemory::entries()
{
    if (!m_usable || !lock())
        return {};
    const QMap<QString, quint32> map = readLocked();
    unlock();
    return map;
}

bool VSharedMemory::check(const QString &account, quint32 ownId)
{
    const QMap<QString, quint32> map = entries();
    auto it = map.constFind(account);
    if (it == map.constEnd())
        return false;
    return it.value() != ownId && VPlatform::isRegistryIdAlive(it.value());
}

void VSharedMemory::registerAccount(const QString &account, quint32 ownId)
{
    if (!m_usable || !lock())
        return;
    // Read, change and write under one lock so that two instances signing in
    // at the same moment cannot drop each other's entry.
    QMap<QString, quint32> map = readLocked();
    map.insert(account, ownId);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << map;
    }
    if (bytes.size() <= size())
        std::memcpy(data(), bytes.constData(), static_cast<size_t>(bytes.size()));
    else
        qCWarning(lcShm) << "account registry full";
    unlock();
}
