#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonObject>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// The settings dialog: the general and the transfer tab, every control bound
// to one key of the user's settings, and a version check.
class VConfig : public VDialog
{
    Q_OBJECT
public:
    explicit VConfig(QWidget *parent = nullptr);

    void initData();

    QTabWidget *tabWidget() const { return tabWidget_; }
    QCheckBox *checkBox_autorun;
    QCheckBox *checkBox_alertmsg;
    QCheckBox *checkBox_autodown;
    QCheckBox *checkBox_quitalert;
    QCheckBox *checkBox_autoupdate;
    QPushButton *pushButton;
    QLabel *label_msg;
    QComboBox *comboBox_up;
    QComboBox *comboBox_down;
    QLineEdit *lineEdit_path;
    QPushButton *pushButton_file;
    QCheckBox *CheckBox_ask;
    QRadioButton *radioButton_up_1;
    QRadioButton *radioButton_up_2;
    QLineEdit *lineEdit_up;
    QRadioButton *radioButton_down_1;
    QRadioButton *radioButton_down_2;
    QLineEdit *lineEdit_down;

    static constexpr int kMaxSpeed = 1048576; // KB/s
    // The executable the autostart entry names.
    static void setProgramPath(const QString &path);
    static QString programPath();

signals:
    void signalToUpdate();

public slots:
    void on_pushButton_ok_clicked();
    void on_pushButton_file_clicked();
    void on_pushButton_clicked();
    void slotRequestResult(QJsonObject re);

private:
    QWidget *buildGeneralTab();
    QWidget *buildTransferTab();
    QTabWidget *tabWidget_;
    bool m_checking = false;
};
