#pragma once

#include <QJsonObject>

#include "transfer/vtransfertask.h"

// One download: the download address from the service, then the range
// worker on its own thread into "<target>.orvelnetdisk.<fileid>.download",
// renamed to a free name when complete. A stopped or failed download keeps
// the temporary file, so the next run resumes there.
class VDownloadTask : public VTransferTask
{
    Q_OBJECT
public:
    VDownloadTask(const M_db_file &record, db_self *store, QObject *parent = nullptr);
    ~VDownloadTask() override;

    // The target asked for; localPath() is where the file really went.
    QString requestedPath() const { return m_requested; }
    // The temporary file of this download.
    QString tempPath() const;
    QString stateText() const override;
    static QString stateText(int status, const QString &error);

protected:
    void begin() override;
    void stopWorker() override;
    void prepareCancel() override;
    void beforeRemoval() override;
    void workerFinished(QObject *worker) override;

private:
    void onLinkReply(int generation, const QJsonObject &reply);
    void finish(int generation, const QString &path);

    const QString m_requested;
    // Where the last worker wrote (the server may name the file otherwise).
    QString m_workerTemp;
};
