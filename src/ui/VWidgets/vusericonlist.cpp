#include "VWidgets/vusericonlist.h"
#include "VWidgets/vusericonlist_item.h"

#include <QGridLayout>
#include <QJsonObject>
#include <QLabel>
#include <QVBoxLayout>

VUserIconList::VUserIconList(QWidget *parent) : QWidget(parent)
{
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(8, 8, 8, 8);
    m_note = new QLabel(QStringLiteral("继承父栏目权限"), this);
    m_note->setStyleSheet(QStringLiteral("color:#999999;"));
    m_note->hide();
    m_grid = new QGridLayout;
    m_grid->setSpacing(4);
    lay->addWidget(m_note);
    lay->addLayout(m_grid);
    lay->addStretch(1);
}

void VUserIconList::clearItems()
{
    while (QLayoutItem *it = m_grid->takeAt(0)) {
        delete it->widget();
        delete it;
    }
}

void VUserIconList::setList(const QJsonArray &entries, bool inherited)
{
    clearItems();
    m_note->setVisible(inherited);
    int i = 0;
    for (const QJsonValue &v : entries) {
        const QJsonObject o = v.toObject();
        const int utype = o.value(QStringLiteral("qxutype")).toVariant().toInt();
        auto *item = new VUserIconList_item(o.value(QStringLiteral("qxuname")).toString(), utype, this);
        m_grid->addWidget(item, i / 3, i % 3);
        ++i;
    }
}

int VUserIconList::itemCount() const
{
    return m_grid->count();
}

bool VUserIconList::showsInherited() const
{
    return !m_note->isHidden();
}
