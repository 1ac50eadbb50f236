#pragma once

#include <QWidget>

namespace Ui {
class VShousuoBar;
}
class QToolButton;

// The view switch: list or icon view, and the detail pane shown or collapsed.
class VShousuoBar : public QWidget
{
    Q_OBJECT
public:
    explicit VShousuoBar(QWidget *parent = nullptr);
    ~VShousuoBar() override;
    bool isShitu() const { return m_shitu; }
    bool isShousuo() const { return m_shousuo; }

signals:
    void signalIsShitu(bool iconView);
    void signalIsShousuo(bool collapsed);

public slots:
    void on_toolButton_clicked();
    void on_toolButton_2_clicked();

private:
    void refresh();
    Ui::VShousuoBar *ui;
    bool m_shitu = false;
    bool m_shousuo = false;
    QToolButton *m_view;
    QToolButton *m_pane;
};
