#include "VWidgets/vshousuobar.h"
#include "ui_vshousuobar.h"

#include <QHBoxLayout>
#include <QToolButton>

VShousuoBar::VShousuoBar(QWidget *parent) : QWidget(parent), ui(new Ui::VShousuoBar)
{
    ui->setupUi(this);
    m_view = ui->toolButton;
    m_pane = ui->toolButton_2;
    refresh();
}

VShousuoBar::~VShousuoBar()
{
    delete ui;
}

void VShousuoBar::refresh()
{
    m_view->setIcon(QIcon(m_shitu ? QStringLiteral(":/images/icon/liebiao.png")
                                  : QStringLiteral(":/images/icon/shitu.png")));
    m_view->setToolTip(m_shitu ? QStringLiteral("列表") : QStringLiteral("视图"));
    m_pane->setIcon(QIcon(m_shousuo ? QStringLiteral(":/images/icon/shousuo.png")
                                    : QStringLiteral(":/images/icon/shousuo_on.png")));
    m_pane->setToolTip(m_shousuo ? QStringLiteral("展开详情") : QStringLiteral("收起详情"));
}

void VShousuoBar::on_toolButton_clicked()
{
    m_shitu = !m_shitu;
    refresh();
    emit signalIsShitu(m_shitu);
}

void VShousuoBar::on_toolButton_2_clicked()
{
    m_shousuo = !m_shousuo;
    refresh();
    emit signalIsShousuo(m_shousuo);
}
