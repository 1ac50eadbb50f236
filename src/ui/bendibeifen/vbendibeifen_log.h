#pragma once

#include <QWidget>

class QPushButton;
class QStackedWidget;
class VBackupTask;
class VBendibeifen_log_done;
class VBendibeifen_log_working;

// The backup log: files being backed up and the finished history.
class VBendibeifen_log : public QWidget
{
    Q_OBJECT
public:
    VBendibeifen_log(VBackupTask *task, QWidget *parent = nullptr);

    void setMainPage(QWidget *page) { m_mainPage = page; }
    void showTab(int index);
    int currentTab() const;
    VBendibeifen_log_working *working() const { return m_working; }
    VBendibeifen_log_done *done() const { return m_done; }
    QPushButton *backButton() const { return pushButton_back; }
    QPushButton *workingTab() const { return pushButton_working; }
    QPushButton *doneTab() const { return pushButton_done; }

signals:
    void signalChangeWidget(QWidget *w);

private:
    QPushButton *pushButton_back;
    QPushButton *pushButton_working;
    QPushButton *pushButton_done;
    QStackedWidget *m_stack;
    VBendibeifen_log_working *m_working;
    VBendibeifen_log_done *m_done;
    QWidget *m_mainPage = nullptr;
};
