#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class VBackupTask;
class VBendibeifen_item;
class VGrid;

// The backup task page: the grid of tasks (one: the public disk) and a
// footer with the number of files being backed up and the way to the log.
class VBendibeifen : public QWidget
{
    Q_OBJECT
public:
    VBendibeifen(VBackupTask *task, QWidget *parent = nullptr);

    void setLogPage(QWidget *log) { m_logPage = log; }
    VGrid *grid() const { return m_grid; }
    VBendibeifen_item *item() const { return m_item; }
    QPushButton *countButton() const { return pushButton_count; }

signals:
    void signalChangeWidget(QWidget *w);

public slots:
    void on_pushButton_count_clicked();
    void on_pushButton_view_clicked();
    void on_pushButton_log_clicked();
    void slotTaskChange(int count);

private:
    VGrid *m_grid;
    VBendibeifen_item *m_item;
    QPushButton *pushButton_count;
    QPushButton *pushButton_view;
    QPushButton *pushButton_log;
    QWidget *m_logPage = nullptr;
};
