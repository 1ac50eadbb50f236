#pragma once

#include <QUrl>
#include <QWidget>

class QLabel;
class QToolButton;
class VFrameHandler;
class VWebEngineView;

// The preview window: frameless, resizable and movable like the main window
// (the same frame handling), with its own title strip and a web view that
// shows the preview page of a file. Deletes itself when closed.
class VOffice : public QWidget
{
    Q_OBJECT
public:
    explicit VOffice(QWidget *parent = nullptr);

    // Remembers the address, builds the web view, loads it and shows the window.
    void open(const QUrl &url);
    QUrl url() const { return m_url; }
    VWebEngineView *view() const { return m_view; }
    bool isMaximizedState() const;

public slots:
    void slot2close(bool checked = false);
    void slot2max(bool checked = false);
    void slot2min(bool checked = false);
    void slot2enter();

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateMaxButton(bool maximized);

    QUrl m_url;
    QWidget *widget_bg = nullptr;
    QLabel *m_title = nullptr;
    QToolButton *m_close = nullptr;
    QToolButton *m_max = nullptr;
    QToolButton *m_min = nullptr;
    VWebEngineView *m_view = nullptr;
    VFrameHandler *m_frame = nullptr;
};
