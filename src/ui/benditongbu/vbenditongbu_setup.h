#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// "设置同步路径": the local folder of a synced section.
class VBenditongbu_setup : public QDialog
{
    Q_OBJECT
public:
    explicit VBenditongbu_setup(QWidget *parent = nullptr);

    QLineEdit *pathEdit() const { return lineEdit; }

public slots:
    void on_pushButton_liulan_clicked();
    void on_pushButton_accept_clicked();

private:
    QLineEdit *lineEdit;
    QPushButton *pushButton_liulan;
    QPushButton *pushButton_accept;
    QPushButton *pushButton_cancel;
};
