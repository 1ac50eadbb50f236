#include "huishouzhan/vhuishouzhan_isrename.h"

#include "VWidgets/vpageparts.h"
#include "lists/vrecycleresult.h"

#include <QJsonObject>
#include <QPushButton>

VHuishouzhan_isrename::VHuishouzhan_isrename(const QJsonArray &conflicts, QWidget *parent)
    : VDialog(parent), m_conflicts(conflicts)
{
    m_msg = VPageParts::clashBody(this, QStringLiteral("VHuishouzhan_isrename"));
    m_keep = createButton(QStringLiteral("保留两个"), 2);
    m_keep->setObjectName(QStringLiteral("pushButton_keep"));
    m_keep->setAccessibleName(QStringLiteral("保留两个"));
    VPageParts::nameButtons(this, QStringLiteral("确定"), QStringLiteral("取消"));
    okButton()->hide();
    connect(m_keep, &QPushButton::clicked, this, &VHuishouzhan_isrename::slotRename);
    setMinimumWidth(520);
    showCurrent();
}

void VHuishouzhan_isrename::showCurrent()
{
    if (m_conflicts.isEmpty())
        return;
    const QJsonObject c = m_conflicts.at(m_index).toObject();
    VPageParts::showClash(this, m_msg, QStringLiteral("“%1”的原位置已有同名文件（夹）").arg(VRecycleResult::itemName(c)),
                          c.value(QStringLiteral("msg")).toString(), m_index, m_conflicts.size());
}

void VHuishouzhan_isrename::slotRename()
{
    const int last = VPageParts::clashChoiceEnd(this, m_index, m_conflicts.size());
    for (; m_index <= last && m_index < m_conflicts.size(); ++m_index) {
        const QString id = m_conflicts.at(m_index).toObject().value(QStringLiteral("id")).toVariant().toString();
        if (!id.isEmpty() && !m_ids.contains(id))
            m_ids << id;
    }
    if (m_index >= m_conflicts.size()) {
        emit signalKeepBoth(m_ids);
        accept();
        return;
    }
    showCurrent();
}
