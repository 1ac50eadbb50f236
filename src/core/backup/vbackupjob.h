#pragma once

#include <QObject>
#include <QString>
#include <QThread>

class VDownloadFile;

// One backup download: a download worker on a thread of its own, owned here
// and joined when the worker has stopped. Lives on the GUI thread.
class VBackupJob : public QObject
{
    Q_OBJECT
public:
    VBackupJob(const QString &id, QObject *parent = nullptr);
    ~VBackupJob() override;

    QString id() const { return m_id; }
    // Fetches url into target (temporary file target + ".orvelnetdisk.<suffix>.download",
    // so a later job for the same record resumes it). The name is kept as
    // given whatever the server's Content-Disposition says.
    void start(const QString &url, const QString &target, const QString &suffix);
    // Asks the worker to stop; ended() follows once its thread is joined.
    void stop(bool dropPartial);
    // Stops and joins at once (shutdown).
    void stopAndWait();
    bool isRunning() const { return m_thread.isRunning(); }

signals:
    void progress(QString id, qint64 done, qint64 total);
    // ok false: message says why (or empty when stopped).
    void ended(QString id, bool ok, QString message);

private:
    void onStopped();

    QString m_id;
    QThread m_thread;
    VDownloadFile *m_worker = nullptr;
    bool m_ok = false;
    bool m_stopped = false;
    bool m_ended = false;
    QString m_error;
    int m_lastPercent = -1;
};
