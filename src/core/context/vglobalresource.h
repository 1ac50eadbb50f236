#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include "records/m_db_file.h"

// What the client shares about files in transit: the local files to open
// when their download ends, and the uploads that finished (edit-back
// compares them with the files being edited). GUI thread.
class VGlobalResource : public QObject
{
    Q_OBJECT
public:
    static VGlobalResource *instance();

    // Open this local file with its program once its download is done.
    void addOpenAfterDownload(const QString &localPath);
    bool isOpenAfterDownload(const QString &localPath) const;
    // True (and forgotten) when path was waiting to be opened. A download
    // renamed to a free name ("a(1).pdf") still counts for the name asked.
    bool takeOpenAfterDownload(const QString &requestedPath, const QString &finalPath);

    // A finished upload, handed over by the upload list.
    void addChangeFileList(const M_db_file &file);
    QList<M_db_file> changeFileList() const { return m_changeFiles; }

signals:
    void signalChangeFileAdded(M_db_file file);

private:
    explicit VGlobalResource(QObject *parent = nullptr);

    QStringList m_openAfterDownload;
    QList<M_db_file> m_changeFiles;
};
