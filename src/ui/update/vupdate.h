#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonObject>
#include <functional>

class QLabel;
class QProgressBar;
class QTextBrowser;
class VUpdateSession;

// The update dialog: the release notes, the overall progress, and one button
// whose text is the state: "更新" (ready), "更新中" (running), "完成"
// (finished; pressing it hands over to the updater). The work is
// VUpdateSession's; this dialog shows it.
class VUpdate : public VDialog
{
    Q_OBJECT
public:
    explicit VUpdate(QWidget *parent = nullptr);
    ~VUpdate() override;

    VUpdateSession *session() const { return m_session; }
    QTextBrowser *textBrowser() const { return m_browser; }
    QLabel *processLabel() const { return m_labelProcess; }
    QProgressBar *progressBar() const { return m_progress; }
    // What ends the program once the updater runs; the default quits the
    // application's event loop.
    void setQuitHandler(std::function<void()> handler) { m_quit = std::move(handler); }
    // Asks for the description (done when the dialog opens).
    void requestDescription();

signals:
    void signalRun();
    void signalStopWork();
    // A message box's text, for whoever watches (tests).
    void signalWarning(const QString &text);

public slots:
    void slotRequestResult(const QJsonObject &o);
    void slotButtonClicked();
    void slotReplyError(const QString &text);
    void slotReplyFinished(const QString &name);
    void onDownloadProcess(qint64 percent, qint64 total);

protected:
    // Closing stops a running download; the worker's thread is joined when
    // the dialog goes.
    void done(int result) override;

private:
    void showState(int state);
    void warn(const QString &text);

    VUpdateSession *m_session;
    QTextBrowser *m_browser;
    QLabel *m_labelProcess;
    QProgressBar *m_progress;
    std::function<void()> m_quit;
};
