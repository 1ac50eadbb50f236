#pragma once

#include <QWidget>

class QPushButton;
class VBenditongbu_list;

// The list of synced sections with a footer leading to the sync log.
class VBenditongbu : public QWidget
{
    Q_OBJECT
public:
    explicit VBenditongbu(QWidget *parent = nullptr);

    VBenditongbu_list *list() const { return m_list; }

signals:
    void signalOpenLog();

public slots:
    void on_pushButton_count_clicked();
    void on_pushButton_view_clicked();
    void on_pushButton_log_clicked();
    void slotOpenLog();

private:
    VBenditongbu_list *m_list;
    QPushButton *pushButton_count;
    QPushButton *pushButton_view;
    QPushButton *pushButton_log;
};
