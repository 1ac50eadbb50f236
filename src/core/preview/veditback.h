#pragma once

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>

#include "context/vglobalresource.h"
#include "records/m_db_file.h"
#include "records/m_info_file.h"

class QTimer;

// Open for editing and send back: a document is downloaded into its own
// edit folder (cache/edit/<file id>/<name>), opened with its program, and
// every save that changes its content is offered for upload; the upload
// replaces the file in the folder it came from.
//
// A save is read only once size and time have stayed the same for one
// stability interval (programs write in steps); the content is compared by
// SHA-256 with what was last seen and with what the disk holds, so touching
// a file or saving the same content does nothing. Before replacing, the
// disk's current digest is asked for: when someone else changed the file
// meanwhile the user decides (keep both, or overwrite). Per file one upload
// is in flight; a newer save waits behind it, so an older content never
// lands last. The watcher and the maps live on the GUI thread; only hashing
// and copying run on the global pool.
class VEditBack : public QObject
{
    Q_OBJECT
public:
    enum Mode { Ask = 0, Overwrite = 1, KeepBoth = 2 };

    static VEditBack *instance();

    // How long size and time must stay unchanged before a save is read.
    int stableInterval() const { return m_stableMs; }
    void setStableInterval(int ms) { m_stableMs = ms; }

    // cache/edit/<file id>; empty for an id that is no plain name.
    static QString editFolder(const QString &fileid);
    // The editing right: download and upload, or an administrator.
    static bool mayEdit(const M_info_file &entry, bool isadmin);

    // entry: the file as "v1/wp/file/info" describes it now. Reopens a copy
    // that is there (keeping unsent edits), or queues its download.
    void open(const M_info_file &entry);
    // The user answered the change prompt.
    void answer(const QString &path, bool confirmed, bool doNotAskAgain);
    // Send the file's current content back (mode Ask checks for changes on
    // the disk first).
    void upload(const QString &path, Mode mode = Ask);
    bool isDoNotAsk(const QString &path) const { return m_doNotAsk.contains(path); }
    // Whether an upload of this file is on its way (or being prepared).
    bool isUploading(const QString &path) const;
    // Stops timers and watching (shutdown).
    void shutdown();

signals:
    // A save changed the content: ask whether to send it.
    void signalFileChanged(QString path);
    // The disk's file changed since the copy was made.
    void signalConflict(QString path);
    // A settled save was read: changed says whether its content was new.
    void signalSaveChecked(QString path, bool changed);
    // An edit copy is ready (downloaded or reopened) and watched.
    void signalWatching(QString path);
    // An upload of an edited file was queued (copy in the save folder).
    void signalUploadQueued(QString path, M_db_file record);
    // The disk now holds this content of the file.
    void signalUploaded(QString path, QString digest);

private slots:
    void slotWatchEvent(const QString &path);
    void slotTransferDone(const M_db_file &file);
    void slotTransferCancelled(const M_db_file &file);

private:
    struct Check
    {
        QTimer *timer = nullptr;
        qint64 size = -2;
        qint64 mtime = 0;
        int missing = 0;
    };
    struct Send
    {
        bool busy = false;
        bool pending = false;
        Mode pendingMode = Ask;
        Mode mode = Ask;
        QString copy;
        QString digest;
    };

    explicit VEditBack(QObject *parent = nullptr);
    void startDownload(const M_info_file &entry, const QString &path, const QString &folder);
    void watch(const QString &path);
    void scheduleCheck(const QString &path);
    void checkTick(const QString &path);
    void hashed(const QString &path, const QString &digest);
    void copied(const QString &path, Mode mode, const QString &copy, const QString &before, const QString &after);
    void confirmAndQueue(const QString &path, Mode mode, const QString &copy, const QString &digest);
    void queue(const QString &path, Mode mode, const QString &copy, const QString &digest);
    void finish(const QString &path);

    int m_stableMs = 1000;
    bool m_shutdown = false;
    QSet<QString> m_doNotAsk;
    QSet<QString> m_prompting;
    QHash<QString, Check> m_checks;
    QHash<QString, Send> m_sends;
    QHash<QString, QString> m_copies; // save-folder copy -> edited file
    int m_batch = 0;
};
