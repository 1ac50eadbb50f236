#pragma once

#include <QList>
#include <QWidget>

class QLabel;
class QToolButton;
class SwitchControl;

// One synced section: fixed texts, a switch and the path set-up button.
class VBenditongbu_list_item : public QWidget
{
    Q_OBJECT
public:
    explicit VBenditongbu_list_item(QWidget *parent = nullptr);

    QToolButton *toolButton() const { return toolButton_; }
    SwitchControl *toggle() const { return m_switch; }

public slots:
    void slotResize(QList<int> widths);
    void on_toolButton_clicked();

private:
    QList<QWidget *> m_cells;
    SwitchControl *m_switch;
    QToolButton *toolButton_;
};
