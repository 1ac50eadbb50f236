#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <list>

// Transfer ids in arrival order: membership, removal and taking the first
// cost the same however many wait (thousands of rows may be queued at once).
class VIdQueue
{
public:
    bool contains(int id) const { return m_pos.contains(id); }
    int size() const { return m_pos.size(); }
    bool isEmpty() const { return m_pos.isEmpty(); }
    // Appends id unless it is already queued.
    void append(int id);
    bool remove(int id);
    int takeFirst();
    void clear();
    QList<int> toList() const { return QList<int>(m_ids.begin(), m_ids.end()); }

private:
    std::list<int> m_ids;
    QHash<int, std::list<int>::iterator> m_pos;
};

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

    QList<int> downloadWaiting() const { return m_down.wait.toList(); }
    QList<int> downloadWorking() const { return m_down.work.toList(); }
    QList<int> uploadWaiting() const { return m_up.wait.toList(); }
    QList<int> uploadWorking() const { return m_up.work.toList(); }
    QStringList bakWaiting() const { return m_bakWait; }
    QStringList bakWorking() const { return m_bakWork; }

public slots:
    void slotChange_config();

private:
    explicit VGlobalQueue(QObject *parent = nullptr);

    // The waiting and working ids of one kind.
    struct Lane {
        bool upload;
        VIdQueue wait;
        VIdQueue work;
    };
    static int limitOf(const Lane &lane);
    void announce(const Lane &lane, int id);
    void add(Lane &lane, int id);
    void remove(Lane &lane, int id);
    // Admits waiting ids while the lane is below its limit.
    void fill(Lane &lane);

    Lane m_down{false, {}, {}};
    Lane m_up{true, {}, {}};
    QStringList m_bakWait;
    QStringList m_bakWork;
    QStringList m_bakDeleteMarks;
};
