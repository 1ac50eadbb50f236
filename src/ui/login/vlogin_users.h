#pragma once

#include <QWidget>

namespace Ui {
class VLogin_users;
}
class QPushButton;
class QToolButton;

// One row of the remembered-accounts drop-down: the name and a delete button.
class VLogin_users : public QWidget
{
    Q_OBJECT
public:
    explicit VLogin_users(QWidget *parent = nullptr);
    ~VLogin_users() override;

    void setText(const QString &text);
    QPushButton *nameButton() const;
    QToolButton *deleteButton() const;

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setHovered(bool on);
    Ui::VLogin_users *ui;
};
