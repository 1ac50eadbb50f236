#pragma once

#include "VWidgets/vdialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

// Asks for the local folder downloads go to, and can keep it as the default.
class VGonggongwangpan_downlaodaddr : public VDialog
{
    Q_OBJECT
public:
    explicit VGonggongwangpan_downlaodaddr(QWidget *parent = nullptr);

    QLineEdit *lineEdit() const { return m_path; }
    QCheckBox *defaultBox() const { return m_default; }
    QString path() const;

public slots:
    void on_pushButton_clicked();
    void buttonok_clicked();

private:
    QLineEdit *m_path;
    QPushButton *m_browse;
    QCheckBox *m_default;
};
