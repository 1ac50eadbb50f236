#include "VWidgets/vusericonlist_item.h"

#include <QLabel>
#include <QVBoxLayout>

VUserIconList_item::VUserIconList_item(const QString &name, int utype, QWidget *parent)
    : QWidget(parent), m_name(name)
{
    setFixedSize(64, 64);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(2, 4, 2, 2);
    lay->setSpacing(2);
    auto *icon = new QLabel(this);
    const QString file = utype == 1 ? QStringLiteral("qxicon_person")
                         : utype == 2 ? QStringLiteral("qxicon_shenfen")
                                      : QStringLiteral("qxicon_group");
    icon->setPixmap(QPixmap(QStringLiteral(":/images/icon/%1.png").arg(file)));
    icon->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(this);
    text->setAlignment(Qt::AlignCenter);
    text->setText(fontMetrics().elidedText(name, Qt::ElideRight, 60));
    text->setToolTip(name);
    lay->addWidget(icon);
    lay->addWidget(text);
}
