#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

// A sliding on/off switch. A left click flips it and emits toggled; setting
// it from code animates without emitting.
class SwitchControl : public QWidget
{
    Q_OBJECT
public:
    explicit SwitchControl(QWidget *parent = nullptr);

    bool isToggled() const { return m_checked; }
    void setToggled(bool checked);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Where the thumb's centre is now (x), for the owner and the tests.
    int thumbX() const { return m_x; }

signals:
    void toggled(bool checked);

public slots:
    void onTimeout();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void flip();
    int endX() const;

    bool m_checked = false;
    QColor m_background{0x13, 0xCE, 0x66};
    QColor m_checkedColor{0x13, 0xCE, 0x66};
    QColor m_disabledColor{190, 190, 190};
    QColor m_thumbColor{0xFF, 0xFF, 0xFF};
    QColor m_offColor{0xCC, 0xCC, 0xCC};
    qreal m_radius = 10;
    int m_x = 10;
    int m_height = 20;
    int m_margin = 0;
    QTimer m_timer;
};
