#pragma once

#include <QWidget>

namespace Ui {
class VLogin_danwei;
}
class QPushButton;
class QToolButton;

// One row of the school list: the school's name and an arrow.
class VLogin_danwei : public QWidget
{
    Q_OBJECT
public:
    explicit VLogin_danwei(QWidget *parent = nullptr);
    ~VLogin_danwei() override;

    void setText(const QString &text);
    QString text() const;
    QPushButton *nameButton() const;
    QToolButton *arrowButton() const;

private:
    Ui::VLogin_danwei *ui;
};
