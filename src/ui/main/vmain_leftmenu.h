#pragma once

#include "main/enum_leftmenu.h"

#include <QWidget>

namespace Ui {
class VMain_leftmenu;
}

// One entry of the left menu: icon, text and a count badge.
class VMain_leftmenu : public QWidget
{
    Q_OBJECT
public:
    explicit VMain_leftmenu(enum_leftmenu type, QWidget *parent = nullptr);
    ~VMain_leftmenu() override;

    enum_leftmenu type() const { return m_type; }
    bool isSelected() const { return m_selected; }
    QString countText() const;
    bool isCountShown() const;

public slots:
    void setSelected(enum_leftmenu type);
    void setCount(int count);

private:
    void redraw();
    Ui::VMain_leftmenu *ui;
    enum_leftmenu m_type;
    bool m_selected = false;
};
