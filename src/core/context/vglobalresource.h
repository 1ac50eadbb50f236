#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QStringList>

#include "records/m_db_file.h"

class QFileSystemWatcher;

// A document opened for editing: its copy in the edit cache and what the
// disk held when the copy was made.
struct M_editfile
{
    QString fileid;
    QString filename;     // as the disk names it
    QString serverFolder; // the folder the file lives in: the upload replaces it there
    QString localPath;    // cache/edit/<file id>/<cleaned name>
    QString baseDigest;   // content the disk holds as far as we know (downloaded or last sent)
    QString seenDigest;   // last local content noticed (asked about or ignored)
};

// What the client shares about files in transit and in editing: the file
// watcher, the local files to open when their download ends, the documents
// being edited, the uploads that finished (the disk view reloads a folder
// that received one) and the icons by file type. GUI thread.
class VGlobalResource : public QObject
{
    Q_OBJECT
public:
    static VGlobalResource *instance();

    QFileSystemWatcher *watcher();
    // Stops watching everything (shutdown).
    void clearWatcher();

    // Open this local file with its program once its download is done.
    void addOpenAfterDownload(const QString &localPath);
    bool isOpenAfterDownload(const QString &localPath) const;
    // True (and forgotten) when path was waiting to be opened. A download
    // renamed to a free name ("a(1).pdf") still counts for the name asked.
    bool takeOpenAfterDownload(const QString &requestedPath, const QString &finalPath);

    // Documents being edited, by local path.
    void setEditFile(const M_editfile &file);
    M_editfile editFile(const QString &localPath) const;
    bool isEditFile(const QString &localPath) const;
    void removeEditFile(const QString &localPath);
    QList<M_editfile> editFiles() const { return m_editFiles.values(); }

    // A finished upload, handed over by the upload list.
    void addChangeFileList(const M_db_file &file);
    QList<M_db_file> changeFileList() const { return m_changeFiles; }
    // The finished uploads since the last call (the disk view's reload).
    QList<M_db_file> takeChangeFileList();
    // Two server folder paths name the same folder (case and trailing "/" aside).
    static bool isSameFolder(const QString &a, const QString &b);

    // The picture of a file type (see VFileKind), loaded once.
    QIcon icon(const QString &extension, bool isdir, bool large);
    static QString loadingGif() { return QStringLiteral(":/images/gif/loading.gif"); }

signals:
    void signalChangeFileAdded(M_db_file file);

private:
    explicit VGlobalResource(QObject *parent = nullptr);

    QFileSystemWatcher *m_watcher = nullptr;
    QStringList m_openAfterDownload;
    QHash<QString, M_editfile> m_editFiles;
    QList<M_db_file> m_changeFiles;
    QHash<QString, QIcon> m_icons;
};
