#pragma once

#include "VWidgets/vdialog.h"

class QLineEdit;
class QPushButton;
class QSpinBox;

// Edits a backup task's folder and polling interval.
class VBendibeifen_config : public VDialog
{
    Q_OBJECT
public:
    explicit VBendibeifen_config(QWidget *parent = nullptr);

    void setValues(const QString &path, int minutes);
    QString path() const;
    int minutes() const;
    QLineEdit *pathEdit() const { return lineEdit_path; }
    QLineEdit *minutesEdit() const { return lineEdit_time; }

    static constexpr int kMaxMinutes = 43199; // below 30 days

public slots:
    void on_pushButton_liulan_clicked();
    void on_pushButton_ok_clicked();

private:
    QLineEdit *lineEdit_path;
    QPushButton *pushButton_liulan;
    QLineEdit *lineEdit_time;
};
