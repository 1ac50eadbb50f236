#pragma once

#include <QDialog>
#include <QPoint>

// A frameless dialog that is dragged by any point of its body.
class VAlertDialog : public QDialog
{
    Q_OBJECT
public:
    explicit VAlertDialog(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_dragging = false;
    QPoint m_offset;
};
