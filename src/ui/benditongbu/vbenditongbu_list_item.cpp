#include "benditongbu/vbenditongbu_list_item.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "benditongbu/vbenditongbu_setup.h"
#include "config/switchcontrol.h"

VBenditongbu_list_item::VBenditongbu_list_item(QWidget *parent) : QWidget(parent)
{
    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    auto cell = [&](QWidget *w, int stretch) {
        auto *c = new QWidget(this);
        auto *l = new QHBoxLayout(c);
        l->setContentsMargins(10, 0, 4, 0);
        w->setParent(c);
        l->addWidget(w);
        l->addStretch();
        h->addWidget(c, stretch);
        m_cells << c;
    };
    cell(new QLabel(QStringLiteral("公共网盘")), 0);
    auto *path = new QLabel(QStringLiteral("未设置"));
    path->setStyleSheet(QStringLiteral("color:#999999;"));
    cell(path, 1);
    cell(new QLabel(QStringLiteral("双向同步")), 0);
    cell(new QLabel(QStringLiteral("未开启")), 0);
    m_switch = new SwitchControl;
    m_switch->setFixedSize(40, 20);
    m_switch->setEnabled(false);
    m_switch->setAccessibleName(QStringLiteral("开启同步"));
    cell(m_switch, 0);
    toolButton_ = new QToolButton;
    toolButton_->setObjectName(QStringLiteral("toolButton"));
    toolButton_->setIcon(QIcon(QStringLiteral(":/images/icon/setting.png")));
    toolButton_->setToolTip(QStringLiteral("设置同步路径"));
    toolButton_->setAccessibleName(QStringLiteral("设置同步路径"));
    toolButton_->setAutoRaise(true);
    toolButton_->setCursor(Qt::PointingHandCursor);
    cell(toolButton_, 0);
    connect(toolButton_, &QToolButton::clicked, this, &VBenditongbu_list_item::on_toolButton_clicked);
}

void VBenditongbu_list_item::slotResize(QList<int> widths)
{
    for (int i = 0; i < m_cells.size() && i < widths.size(); ++i)
        m_cells.at(i)->setFixedWidth(widths.at(i));
}

void VBenditongbu_list_item::on_toolButton_clicked()
{
    auto *setup = new VBenditongbu_setup(window());
    setup->setAttribute(Qt::WA_DeleteOnClose);
    // next to the button, kept inside the page's width
    QPoint at = toolButton_->mapToGlobal(QPoint(0, toolButton_->height()));
    const QRect page = window()->geometry();
    at.setX(qMin(at.x(), page.right() - setup->width()));
    setup->move(at);
    setup->open();
}
