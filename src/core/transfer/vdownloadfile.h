#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkReply>
#include <QObject>
#include <QRunnable>
#include <QTimer>
#include <atomic>

class QNetworkAccessManager;
class VTransferThrottle;

// Fetches one file by 10 MiB range requests into "<target><suffix>" and moves
// it to its final name when complete. The temporary file's size is the only
// progress record, so a new worker on the same target resumes where it ends.
class VDownloadFile : public QObject, public QRunnable
{
    Q_OBJECT
public:
    explicit VDownloadFile(QObject *parent = nullptr);
    ~VDownloadFile() override;

    void setUrl(const QString &url);
    void setLocalPath(const QString &path);
    void setSuffixId(const QString &id);
    void setAutoRename(bool on);
    // Keeps the local name as given instead of the server's
    // Content-Disposition name (backup copies have computed names).
    void setKeepName(bool on) { m_keepName = on; }
    // Set by the caller on cancel: the temporary file goes when the loop ends.
    void setDeletePartial(bool on);

    QString url() const { return m_url; }
    QString localPath() const { return m_localPath; }
    QString tempPath() const { return m_localPath + m_suffix; }
    QString suffix() const { return m_suffix; }
    QString finalPath() const { return m_finalPath; }
    bool isRunning() const { return m_running.load(); }
    bool isFinished() const { return m_finished.load(); }
    qint64 totalSize() const { return m_totalSize; }

    // The plain file name a Content-Disposition value names, or an empty
    // string when it names none that is safe to use (folders, "..", control
    // characters). Understands filename="..." and filename*=UTF-8''...
    static QString fileNameFromDisposition(const QByteArray &value);

    static constexpr qint64 kSegmentSize = 10485760;

signals:
    void signalReplyFinished(QString path);
    void signalDownloadProcess(qint64 done, qint64 total);
    void signalReplyError(QString message);
    void signalContinue();
    void signalIsStop();

public slots:
    void onDownLoadProgress(qint64 received, qint64 total);
    void onReadyRead();
    void onFinished();
    void onError(QNetworkReply::NetworkError code);
    void run() override;
    void stopWork();
    void stopWorkByThread();
    void slotTimeout();
    void slotTimeout2();

private:
    void download(const QString &url, const QString &localPath);
    bool probe(const QString &url);
    void prepareRequest(QNetworkRequest &req, QNetworkAccessManager *nam) const;
    bool checkSegmentHeaders();
    void pump();
    void finishSegment();
    // The Range header for the segment starting at `from`, and its last byte.
    QByteArray rangeFrom(qint64 from, qint64 *last) const;
    QNetworkReply *get(const QString &url, const QByteArray &range, bool ahead);
    void sendAhead();
    QNetworkReply *takeAhead(const QByteArray &range);
    void dropAhead();
    void reportProgress();
    bool finalize();
    void releaseReply();
    void closeTemp();
    void fail(const QString &message);

    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_deletePartial{false};
    QNetworkReply *m_reply = nullptr;
    QString m_suffix = QStringLiteral(".orvelnetdisk.download");
    QString m_tmpPath;
    QString m_url;
    QString m_localPath;
    QString m_finalPath;
    qint64 m_doneBytes = 0;
    qint64 m_segmentSize = kSegmentSize;
    qint64 m_segmentCount = 0;
    qint64 m_totalSize = 0;
    qint32 m_segmentNumber = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{true};
    QFile m_tmpFile;
    std::atomic<bool> m_timedOut{false};
    std::atomic<bool> m_progressed{false};
    std::atomic<bool> m_probeTimedOut{false};
    bool m_autoRename = true;
    bool m_keepName = false;

    // Per-segment state: what was asked for and what has been written.
    bool m_probed = false;
    bool m_headersChecked = false;
    bool m_replyDone = false;
    bool m_segmentFailed = false;
    bool m_segmentDone = false;
    QNetworkReply *m_ahead = nullptr; // the next segment's request, sent early
    QByteArray m_aheadRange;
    qint64 m_expected = 0; // bytes this segment must deliver
    qint64 m_written = 0;  // bytes of this segment in the temporary file
    QNetworkAccessManager *m_nam = nullptr; // the run's own, on the worker's thread
    QTimer *m_stallTimer = nullptr;
    QTimer *m_paceTimer = nullptr;
    VTransferThrottle *m_throttle;
    QByteArray m_chunk;
    QElapsedTimer m_progressClock;
    qint64 m_reported = -1; // the last progress told
};
