#pragma once

#include <QWidget>

namespace Ui {
class VLayerInfo;
}
class QMovie;
class QTimer;

// The status toast over the main window: an error, a wait or a success with a
// short text. A locked toast ignores further requests for three seconds.
class VLayerInfo : public QWidget
{
    Q_OBJECT
public:
    enum Kind { None, Error, Waiting, Success };

    explicit VLayerInfo(QWidget *parent = nullptr);
    ~VLayerInfo() override;

    Kind kind() const { return m_kind; }
    QString text() const;
    bool isLocked() const { return m_locked; }
    QString background() const { return m_background; }
    // Places the toast over the anchor (top centre of its window).
    void setAnchor(QWidget *anchor) { m_anchor = anchor; }
    // The product's timings are 5000 ms shown, 300 ms before a wait shows and
    // 3000 ms locked; tests shorten them.
    void setTimes(int hideMs, int showDelayMs, int lockMs);

public slots:
    void slotLayer_err(const QString &text, bool lock);
    void slotLayer_success(const QString &text, bool lock);
    void slotLayer_waiting(const QString &text, bool lock);
    void slotLayer_show();
    void slotLayer_hide();
    void slotUnlock();

private:
    void prepare(Kind kind, const QString &text, const QString &background, bool lock);
    void place();

    Ui::VLayerInfo *ui;
    QMovie *m_movie;
    QTimer *m_hideTimer;
    QTimer *m_showTimer;
    QTimer *m_unlockTimer;
    bool m_locked = false;
    Kind m_kind = None;
    QString m_background;
    QWidget *m_anchor = nullptr;
};
