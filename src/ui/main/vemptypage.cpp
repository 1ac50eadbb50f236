#include "main/vemptypage.h"
#include "main/enum_leftmenu.h"

#include <QLabel>
#include <QVBoxLayout>

VEmptyPage::VEmptyPage(int menuValue, QWidget *parent) : VPage(parent), m_value(menuValue)
{
    setObjectName(QStringLiteral("VEmptyPage"));
    auto *lay = new QVBoxLayout(this);
    lay->addStretch(2);
    auto *icon = new QLabel(this);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(QPixmap(QStringLiteral(":/images/icon/big") + VLeftmenuInfo::iconFile(menuValue)));
    auto *title = new QLabel(VLeftmenuInfo::text(menuValue), this);
    title->setObjectName(QStringLiteral("label_pagetitle"));
    title->setAlignment(Qt::AlignCenter);
    auto *note = new QLabel(QStringLiteral("暂无数据"), this);
    note->setObjectName(QStringLiteral("label_pagenote"));
    note->setAlignment(Qt::AlignCenter);
    lay->addWidget(icon);
    lay->addSpacing(8);
    lay->addWidget(title);
    lay->addWidget(note);
    lay->addStretch(3);
}
