#pragma once

#include <QWidget>

namespace Ui {
class VSearchBar;
}
class QLineEdit;
class QToolButton;

// The search box of the disk pages.
class VSearchBar : public QWidget
{
    Q_OBJECT
public:
    explicit VSearchBar(QWidget *parent = nullptr);
    ~VSearchBar() override;
    QLineEdit *lineEdit() const { return m_lineEdit; }
    void clear();

signals:
    void signalSearch(const QString &text);

public slots:
    void on_isfocus(bool focus);
    void on_lineEdit_textChanged(const QString &arg1);
    void on_toolButton_clicked();
    void on_lineEdit_returnPressed();

private:
    Ui::VSearchBar *ui;
    QLineEdit *m_lineEdit;
    QToolButton *m_button;
};
