#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

// The SHA-256 of one local file, computed on the global thread pool. The job
// owns its inputs (path, run generation, a cancel flag shared with the task)
// and reports only by queued signals; it deletes itself after its last
// report, so a task that is gone by then is simply not told.
class VDigestJob : public QObject
{
    Q_OBJECT
public:
    using CancelFlag = std::shared_ptr<std::atomic<bool>>;

    // Connect to the signals of the returned job, then call run().
    static VDigestJob *create(const QString &path, int generation, CancelFlag cancel);
    void run();

    // The digest on the calling thread (lower-case hex), reading read-only in
    // 10 MiB pieces; empty and error set when the file cannot be read.
    static QString digest(const QString &path, const std::atomic<bool> *cancel, QString *error,
                          const std::function<void(int percent)> &progress = {});

signals:
    void signalProgress(int generation, int percent);
    // digest empty: error says why, or cancelled is set.
    void signalFinished(int generation, QString digest, QString error, bool cancelled);

private:
    VDigestJob(const QString &path, int generation, CancelFlag cancel);
    ~VDigestJob() override;

    const QString m_path;
    const int m_generation;
    const CancelFlag m_cancel;
    // Set by the pool thread after its last report, read by the destructor.
    std::atomic<bool> m_reported{false};
};
