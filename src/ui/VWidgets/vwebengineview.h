#pragma once

#include <QWebEngineView>

// The web view of the preview window. It tells when the cursor enters or
// leaves it, so the frame can put its resize cursor back to the arrow.
class VWebEngineView : public QWebEngineView
{
    Q_OBJECT
public:
    explicit VWebEngineView(QWidget *parent = nullptr);

signals:
    void signalEnter();
    void signalLeave();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};
