#pragma once

#include <QTimer>
#include <QWidget>

#include "records/m_page.h"

class QPushButton;
class VBackupTask;
class VGrid;

// The finished history, one page of 100 at a time, newest first.
class VBendibeifen_log_done : public QWidget
{
    Q_OBJECT
public:
    VBendibeifen_log_done(VBackupTask *task, QWidget *parent = nullptr);

    VGrid *grid() const { return m_grid; }
    M_page page() const { return m_page; }
    QPushButton *clearButton() const { return pushButton_clear; }

public slots:
    void reload();
    void slotSortParams(int column, int ordertype);
    void slotPageChanged(int page);
    void on_pushButton_clear_clicked();

private:
    VBackupTask *m_task;
    VGrid *m_grid;
    QPushButton *pushButton_clear;
    M_page m_page;
    bool m_newestFirst = true;
    QTimer m_refresh; // finished files come in bursts: one reload per burst
};
