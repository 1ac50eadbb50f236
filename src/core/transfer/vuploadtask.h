#pragma once

#include <QJsonObject>

#include "transfer/vdigestjob.h"
#include "transfer/vtransfertask.h"

// One upload: digest on the pool, status check of a stored event or a fresh
// registration, instant upload through the digest check, then the block
// worker on its own thread. Keeps the log row current so a later run resumes
// at the last stored block.
class VUploadTask : public VTransferTask
{
    Q_OBJECT
public:
    VUploadTask(const M_db_file &record, db_self *store, QObject *parent = nullptr);
    ~VUploadTask() override;

    // The answer to a name clash: 1 replace, 2 keep both, -1 cancel.
    void setUptype(int uptype);
    // An answer given to all rows before this one asked: a later clash of
    // a row without an event takes it at once.
    void presetUptype(int uptype);
    // Waiting for that answer.
    bool isAwaitingChoice() const { return m_awaitingChoice; }
    // The clash message to show with the file name.
    QString clashMessage() const { return m_clashMessage; }
    // Percent of the digest while it runs, -1 otherwise.
    int digestPercent() const { return m_digestPercent; }
    // The upload completed as an instant upload.
    bool isInstant() const { return m_file.ismc != 0; }

    QString stateText() const override;
    static QString stateText(int status, const QString &error, int digestPercent);

signals:
    // The server already has a file of that name: ask the user (the page
    // shows one dialog for every row that asks).
    void signalIsExists(VUploadTask *task);
    void signalDigestProgress(int percent);

protected:
    void begin() override;
    void stopWorker() override;
    void cancelPreparation() override;
    void beforeRemoval() override;

private:
    void onDigest(int generation, const QString &digest, const QString &error, bool cancelled);
    void onStatusReply(int generation, const QJsonObject &reply);
    void startByBlock(int block);
    void requestLink();
    void onLinkReply(int generation, const QJsonObject &reply);
    void onChkMd5Reply(int generation, const QJsonObject &reply);
    void startWorker();
    void onWorkerBlock(int generation, int block);
    void finish(bool instant);
    void registerCancel(const QString &evtid, const QString &upserver);
    void clearEvent();

    QString m_digest;
    VDigestJob::CancelFlag m_digestCancel;
    int m_digestPercent = -1;
    bool m_awaitingChoice = false;
    QString m_clashMessage;
};
