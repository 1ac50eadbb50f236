#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

// Decides which transfers may run now. Per kind it keeps a waiting list and a
// working list (transfer-log ids for uploads and downloads, "owner|uuid"
// entries for backups), admits first come first served up to the configured
// number of parallel transfers and announces each admission on the hub.
// GUI thread only.
class VGlobalQueue : public QObject
{
    Q_OBJECT
public:
    static VGlobalQueue *instance();

    static constexpr int kBackupLimit = 5;
    // Fallbacks for a stored limit below 1.
    static constexpr int kDefaultUploadLimit = 2;
    static constexpr int kDefaultDownloadLimit = 5;

    void addDownload(int id);
    void addUpload(int id);
    void removeDownload(int id);
    void removeUpload(int id);
    void clearDownloads();
    void clearUploads();
    // Drops the waiting uploads and downloads; running ones finish and leave.
    void clearWaiting();
    bool hasTasks() const;
    // Uploads or downloads told to start and not yet ended.
    bool hasRunningTransfers() const;

    void addBak(const QString &owner, const QString &uuid);
    void checkBak();
    void removeBak(const QString &owner, const QString &uuid, bool notify);
    // Drops every backup entry, waiting and working.
    void clearBak();
    bool hasBakTasks() const;

    void markBakDelete(const QString &entry);
    bool isBakDeleteMarked(const QString &entry) const;
    void unmarkBakDelete(const QString &entry);

    // The limits in force, read from the settings record.
    static int uploadLimit();
    static int downloadLimit();

    QList<int> downloadWaiting() const { return m_downWait; }
    QList<int> downloadWorking() const { return m_downWork; }
    QList<int> uploadWaiting() const { return m_upWait; }
    QList<int> uploadWorking() const { return m_upWork; }
    QStringList bakWaiting() const { return m_bakWait; }
    QStringList bakWorking() const { return m_bakWork; }

public slots:
    void slotChange_config();

private:
    explicit VGlobalQueue(QObject *parent = nullptr);
    // Removes id from a kind's lists; true when it freed a working slot.
    static bool removeFrom(QList<int> &wait, QList<int> &work, int id);

    QList<int> m_downWait;
    QList<int> m_downWork;
    QList<int> m_upWait;
    QList<int> m_upWork;
    QStringList m_bakWait;
    QStringList m_bakWork;
    QStringList m_bakDeleteMarks;
};
