#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QNetworkReply>
#include <QObject>
#include <QRunnable>
#include <atomic>
#include <future>

class QNetworkAccessManager;
class QTimer;
class VUploadRequest;

// Sends one local file to its upload server in numbered blocks: polls the
// upload event, asks for an instant upload, checks a block when resuming,
// posts each block as a multipart form and reports progress in file bytes.
// The row that drives it stores the block numbers it reports, so a later
// worker resumes there.
class VUploadFile : public QObject, public QRunnable
{
    Q_OBJECT
public:
    explicit VUploadFile(QObject *parent = nullptr);
    ~VUploadFile() override;

    // Empty when ready; otherwise the message to show (the worker must not run).
    QString setUploadInfo(const QString &evtid, const QString &md5, const QString &localPath, int startBlock,
                          const QString &token, const QString &upserver, const QJsonObject &statusRequest);

    // Thread-safe stop shortcut: the loop and a block that is waiting for
    // the speed budget notice it at once; slotStopWork still follows.
    void requestStop() { m_stop = true; }
    bool isRunning() const { return m_running.load(); }

    int blocksize() const { return m_blocksize; }
    int totalblocknum() const { return m_totalblocknum; }
    int block() const { return m_block; }

    static constexpr int kDefaultBlockSize = 5242880;
    static constexpr int kMaxBlocks = 10000;
    // The block layout of a file: block size and number of blocks.
    static void blockLayout(qint64 fileSize, int &blocksize, int &totalblocknum);

signals:
    void signalContinue();
    void signalReplyError(QString message);
    void signalReplyFinished(int block);
    void signalUploadProcess(qint64 done, qint64 total);
    void signalIsStop();

public slots:
    void onFinished();
    void onUploadProgress(qint64 sent, qint64 total);
    void onError(QNetworkReply::NetworkError code);
    void run() override;
    void slotStopWork();
    void slotError(const QString &message);
    void slotTimeOut();

private:
    enum class CheckResult { Post, NextPass, Failed };
    CheckResult checkBlock();
    void postBlock();
    bool loadBlock();
    void readAhead();
    void dropReadAhead();
    void restart();
    void releaseReply();
    void sleepRetry();
    QJsonObject syncRequest(bool post, const QString &url, const QString &query);

    std::atomic<bool> m_stop{false};
    VUploadRequest *m_reply = nullptr; // the block post in flight
    VUploadRequest *m_poster = nullptr; // the last post, kept for its connection
    void parkReply();
    QString m_evtid;
    QString m_md5;
    QFile m_file;
    QString m_token;
    QString m_uploadUrl;
    QString m_chkBlockUrl;
    QString m_chkMd5Url;
    QJsonObject m_statusRequest;
    qint64 m_currentBlockSize = 0;
    QFileInfo m_fileInfo;
    qint32 m_blocksize = kDefaultBlockSize;
    qint32 m_maxBlocks = kMaxBlocks;
    qint32 m_totalblocknum = 0;
    qint32 m_block = 0;
    QJsonObject m_uploadInfo;
    std::atomic<bool> m_running{false};
    QByteArray m_buffer;
    bool m_resume = false;
    bool m_allHeld = false; // a resumed upload found every block stored
    std::atomic<bool> m_timedOut{false};
    std::atomic<bool> m_progressed{false};

    qint32 m_bufferBlock = -1; // block whose bytes m_buffer holds
    qint64 m_fileSize = 0;
    QString m_fileName;
    QTimer *m_timer = nullptr;
    // The status poll and the digest check of every pass go through one
    // manager for the whole run, so they keep their connections.
    QNetworkAccessManager *m_manager = nullptr;
    // The next block, read on another thread while the current one is sent.
    std::future<QByteArray> m_ahead;
    qint32 m_aheadBlock = -1;
};
