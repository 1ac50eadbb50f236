#include "main/vmain_leftmenu.h"
#include "ui_vmain_leftmenu.h"

VMain_leftmenu::VMain_leftmenu(enum_leftmenu type, QWidget *parent)
    : QWidget(parent), ui(new Ui::VMain_leftmenu), m_type(type)
{
    ui->setupUi(this);
    setProperty("type", int(type));
    setFixedHeight(36);
    setMinimumWidth(170);
    ui->label_2->setText(VLeftmenuInfo::text(type));
    ui->label_3->setStyleSheet(QStringLiteral(
        "#label_3{background:#F5483B;color:#FFFFFF;border-radius:8px;font-size:11px;}"));
    ui->label_3->hide();
    redraw();
}

VMain_leftmenu::~VMain_leftmenu()
{
    delete ui;
}

void VMain_leftmenu::setSelected(enum_leftmenu type)
{
    const bool selected = type == m_type;
    if (selected == m_selected)
        return;
    m_selected = selected;
    redraw();
}

void VMain_leftmenu::redraw()
{
    ui->label->setPixmap(QPixmap(VLeftmenuInfo::iconPath(m_type, m_selected)));
    // the designer's selected and unselected styles, plus a light fill
    setStyleSheet(m_selected ? QStringLiteral("#widget{border-left:4px solid #0081DD;border-top:1px solid rgb(228, 228, 228);"
                                              "border-bottom:1px solid rgb(228, 228, 228);background:#EDF6FD;}"
                                              "#label_2,#label{color:#0081DD}")
                             : QStringLiteral("#widget{border:0;background:transparent;}#label_2{color:#333333}"));
}

void VMain_leftmenu::setCount(int count)
{
    if (count <= 0) {
        ui->label_3->hide();
        ui->label_3->clear();
        return;
    }
    const QString n = count > 9999 ? QStringLiteral("9999+") : QString::number(count);
    ui->label_3->setText(QStringLiteral("  %1  ").arg(n));
    ui->label_3->show();
}

QString VMain_leftmenu::countText() const
{
    return ui->label_3->text();
}

bool VMain_leftmenu::isCountShown() const
{
    return !ui->label_3->isHidden();
}
