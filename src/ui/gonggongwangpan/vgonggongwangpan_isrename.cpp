#include "gonggongwangpan/vgonggongwangpan_isrename.h"

#include "VWidgets/vpageparts.h"
#include "utils/vutils.h"

#include <QJsonObject>
#include <QPushButton>

VGonggongwangpan_isrename::VGonggongwangpan_isrename(const QJsonArray &conflicts, QWidget *parent)
    : VDialog(parent), m_conflicts(conflicts)
{
    m_msg = VPageParts::clashBody(this, QStringLiteral("VGonggongwangpan_isrename"));
    m_replace = createButton(QStringLiteral("替换"), 1);
    m_keep = createButton(QStringLiteral("保留两个"), 2);
    okButton()->hide();
    cancelButton()->setText(QStringLiteral("取消"));
    connect(m_replace, &QPushButton::clicked, this, &VGonggongwangpan_isrename::slotReplace);
    connect(m_keep, &QPushButton::clicked, this, &VGonggongwangpan_isrename::slotRename);
    setMinimumWidth(620);
    showCurrent();
}

void VGonggongwangpan_isrename::showCurrent()
{
    const QJsonObject c = m_conflicts.at(m_index).toObject();
    const QString name = VUtils::fileName(c.value(QStringLiteral("path")).toString());
    VPageParts::showClash(this, m_msg, QStringLiteral("“%1”在目标位置已存在，请选择处理方式").arg(name),
                          c.value(QStringLiteral("msg")).toString(), m_index, m_conflicts.size(),
                          QStringLiteral("所有重名文件都执行此操作"));
}

void VGonggongwangpan_isrename::choose(int totype)
{
    const int last = VPageParts::clashChoiceEnd(this, m_index, m_conflicts.size());
    for (; m_index <= last; ++m_index) {
        QJsonObject c = m_conflicts.at(m_index).toObject();
        c.insert(QStringLiteral("totype"), totype);
        m_choices.append(c);
    }
    if (m_index >= m_conflicts.size()) {
        emit signalChoices(m_choices);
        accept();
        return;
    }
    showCurrent();
}

void VGonggongwangpan_isrename::slotReplace()
{
    choose(1);
}

void VGonggongwangpan_isrename::slotRename()
{
    choose(2);
}
