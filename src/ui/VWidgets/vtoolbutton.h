#pragma once

#include <QIcon>
#include <QToolButton>

// A tool button that swaps to a hover icon while the pointer is over it.
class VToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit VToolButton(QWidget *parent = nullptr);

    void setIcons(const QIcon &normal, const QIcon &hover);
    void setHover(bool on) { m_hover = on; }
    bool hover() const { return m_hover; }

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_hover = false;
    QIcon m_normal;
    QIcon m_hoverIcon;
};
