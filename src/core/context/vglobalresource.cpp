#include "context/vglobalresource.h"

#include <QDir>
#include <QFileSystemWatcher>

#include "disk/vfilekind.h"

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

QFileSystemWatcher *VGlobalResource::watcher()
{
    if (!m_watcher)
        m_watcher = new QFileSystemWatcher(this);
    return m_watcher;
}

void VGlobalResource::clearWatcher()
{
    if (!m_watcher)
        return;
    const QStringList all = m_watcher->files() + m_watcher->directories();
    if (!all.isEmpty())
        m_watcher->removePaths(all);
}

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

void VGlobalResource::setEditFile(const M_editfile &file) { m_editFiles.insert(key(file.localPath), file); }

M_editfile VGlobalResource::editFile(const QString &localPath) const { return m_editFiles.value(key(localPath)); }

bool VGlobalResource::isEditFile(const QString &localPath) const { return m_editFiles.contains(key(localPath)); }

void VGlobalResource::removeEditFile(const QString &localPath) { m_editFiles.remove(key(localPath)); }

void VGlobalResource::addChangeFileList(const M_db_file &file)
{
    m_changeFiles.append(file);
    // A long session must not grow this without end.
    while (m_changeFiles.size() > kKeptChanges)
        m_changeFiles.removeFirst();
    emit signalChangeFileAdded(file);
}

QList<M_db_file> VGlobalResource::takeChangeFileList()
{
    QList<M_db_file> out;
    out.swap(m_changeFiles);
    return out;
}

bool VGlobalResource::isSameFolder(const QString &a, const QString &b)
{
    auto norm = [](QString p) {
        while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
            p.chop(1);
        return p;
    };
    return !a.isEmpty() && norm(a).compare(norm(b), Qt::CaseInsensitive) == 0;
}

QIcon VGlobalResource::icon(const QString &extension, bool isdir, bool large)
{
    const QString path = VFileKind::iconPath(extension, isdir, large);
    auto it = m_icons.find(path);
    if (it == m_icons.end())
        it = m_icons.insert(path, QIcon(path));
    return it.value();
}
