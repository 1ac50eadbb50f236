#pragma once

#include "main/vpage.h"

class QStackedWidget;
class VBackupTask;
class VBendibeifen;
class VBendibeifen_log;

// The local-backup page: the task page and the log page over one stack. It
// owns the backup task, which runs whether the page is shown or not.
class VBendibeifen_main : public VPage
{
    Q_OBJECT
public:
    explicit VBendibeifen_main(QWidget *parent = nullptr);
    // Tests hand in their own task.
    VBendibeifen_main(VBackupTask *task, QWidget *parent);
    ~VBendibeifen_main() override;

    VBackupTask *task() const { return m_task; }
    VBendibeifen *taskPage() const { return m_page; }
    VBendibeifen_log *logPage() const { return m_log; }
    QWidget *currentWidget() const;

public slots:
    void slotSetCurrentWidget(QWidget *w);

private:
    void build();
    VBackupTask *m_task;
    QStackedWidget *m_stack = nullptr;
    VBendibeifen *m_page = nullptr;
    VBendibeifen_log *m_log = nullptr;
};
