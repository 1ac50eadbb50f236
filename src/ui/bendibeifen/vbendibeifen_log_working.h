#pragma once

#include <QHash>
#include <QTimer>
#include <QWidget>

class QLabel;
class QListWidgetItem;
class VBackupTask;
class VBendibeifen_log_working_item;
class VGrid;

// Files being backed up, as the task reports them. Rows exist only for the
// page on screen (100 files), whatever the backlog.
class VBendibeifen_log_working : public QWidget
{
    Q_OBJECT
public:
    VBendibeifen_log_working(VBackupTask *task, QWidget *parent = nullptr);

    static constexpr int kPageSize = 100;
    VGrid *grid() const { return m_grid; }
    int rowCount() const;
    VBendibeifen_log_working_item *row(int index) const;
    QLabel *countLabel() const { return label_count; }

public slots:
    void slotTaskChangeByBak(int count);
    void slotTimeOut();

private:
    void rebuild();

    VBackupTask *m_task;
    VGrid *m_grid;
    QLabel *label_selected;
    QLabel *label_count;
    QHash<QString, VBendibeifen_log_working_item *> m_rows;
    QTimer m_timer; // gathers changes: rows are rebuilt at most every 500 ms
    bool m_dirty = true;
    int m_page = 1;
};
