#pragma once

#include <QList>
#include <QWidget>

#include "backup/vbackuptask.h"

class QLabel;

// One file being backed up: name, size, server time and state.
class VBendibeifen_log_working_item : public QWidget
{
    Q_OBJECT
public:
    explicit VBendibeifen_log_working_item(QWidget *parent = nullptr);

    void setItem(const VBackupTask::Item &item);
    QString id() const { return m_id; }
    QString statusText() const;
    static QString stateText(int state, qint64 done, qint64 total);

public slots:
    void slotResize(QList<int> widths);
    void onDownloadProcess(qint64 done, qint64 total);

private:
    QString m_id;
    int m_state = VBackupTask::ItemWaiting;
    QList<QWidget *> m_cells;
    QLabel *label_icon;
    QLabel *label_name;
    QLabel *label_size;
    QLabel *label_time;
    QLabel *label_status;
};
