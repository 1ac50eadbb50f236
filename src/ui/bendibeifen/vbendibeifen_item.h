#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QToolButton;
class SwitchControl;
class VBackupTask;
#include "VWidgets/vprompt.h"

// One row of the task grid: one backup task with its switch, its settings
// button and the state the task reports.
class VBendibeifen_item : public QWidget
{
    Q_OBJECT
public:
    VBendibeifen_item(VBackupTask *task, QWidget *parent = nullptr);

    SwitchControl *toggle() const { return m_switch; }
    QToolButton *configButton() const { return toolButton; }
    QLabel *statusLabel() const { return label_status; }
    QLabel *pathLabel() const { return label_path; }
    QLabel *intervalLabel() const { return label_time; }
    QLabel *lastLabel() const { return label_last; }
    // The prompt now open (switching on, 30 days, new folder), if any.
    VPrompt *openPrompt() const { return m_prompt; }

public slots:
    void slotResize(QList<int> widths);
    void slotToggled(bool on);
    void on_toolButton_clicked();
    void refresh();

private:
    void askReset(const QString &text);
    VPrompt *prompt(const QString &text);

    VBackupTask *m_task;
    QList<QWidget *> m_cells;
    QLabel *label_bankuai;
    QLabel *label_type;
    QLabel *label_help;
    QLabel *label_path;
    QLabel *label_time;
    QLabel *label_status;
    QLabel *label_last;
    SwitchControl *m_switch;
    QToolButton *toolButton;
    QPointer<VPrompt> m_prompt;
};
