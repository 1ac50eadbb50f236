#include "context/vglobalresource.h"

#include <QDir>

namespace {
// Compare paths as the file system names them.
QString key(const QString &path) { return QDir::cleanPath(path); }
constexpr int kKeptChanges = 1000;
} // namespace

VGlobalResource *VGlobalResource::instance()
{
    static VGlobalResource *r = new VGlobalResource;
    return r;
}

VGlobalResource::VGlobalResource(QObject *parent) : QObject(parent) {}

void VGlobalResource::addOpenAfterDownload(const QString &localPath)
{
    const QString k = key(localPath);
    if (!m_openAfterDownload.contains(k))
        m_openAfterDownload.append(k);
}

bool VGlobalResource::isOpenAfterDownload(const QString &localPath) const
{
    return m_openAfterDownload.contains(key(localPath));
}

bool VGlobalResource::takeOpenAfterDownload(const QString &requestedPath, const QString &finalPath)
{
    const bool a = m_openAfterDownload.removeAll(key(requestedPath)) > 0;
    const bool b = !finalPath.isEmpty() && m_openAfterDownload.removeAll(key(finalPath)) > 0;
    return a || b;
}

void VGlobalResource::addChangeFileList(const M_db_file &file)
{
    m_changeFiles.append(file);
    // A long session must not grow this without end.
    while (m_changeFiles.size() > kKeptChanges)
        m_changeFiles.removeFirst();
    emit signalChangeFileAdded(file);
}
