#include "VWidgets/vshousuobar.h"

#include <QHBoxLayout>
#include <QToolButton>

VShousuoBar::VShousuoBar(QWidget *parent) : QWidget(parent)
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(2);
    m_view = new QToolButton(this);
    m_view->setObjectName(QStringLiteral("toolButton"));
    m_pane = new QToolButton(this);
    m_pane->setObjectName(QStringLiteral("toolButton_2"));
    for (QToolButton *b : {m_view, m_pane}) {
        b->setFixedSize(28, 28);
        b->setAutoRaise(true);
        b->setCursor(Qt::PointingHandCursor);
        lay->addWidget(b);
    }
    connect(m_view, &QToolButton::clicked, this, &VShousuoBar::on_toolButton_clicked);
    connect(m_pane, &QToolButton::clicked, this, &VShousuoBar::on_toolButton_2_clicked);
    refresh();
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
