#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class VGrid;

// The sync log: files being synced and the finished ones.
class VBenditongbu_log : public QWidget
{
    Q_OBJECT
public:
    explicit VBenditongbu_log(QWidget *parent = nullptr);

    void showTab(int index);
    int currentTab() const;
    QPushButton *backButton() const { return pushButton_back; }

signals:
    void signalOpenMain();

private:
    QWidget *buildTab(bool done);
    QPushButton *pushButton_back;
    QPushButton *pushButton_working;
    QPushButton *pushButton_done;
    QStackedWidget *m_stack;
};
