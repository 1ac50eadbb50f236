#include "gonggongwangpan/vgonggongwangpan_isrename.h"

#include "utils/vutils.h"

#include <QCheckBox>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

VGonggongwangpan_isrename::VGonggongwangpan_isrename(const QJsonArray &conflicts, QWidget *parent)
    : VDialog(parent), m_conflicts(conflicts)
{
    setObjectName(QStringLiteral("VGonggongwangpan_isrename"));
    setTitle(QStringLiteral("文件重名"));
    auto *content = new QWidget(this);
    auto *lay = new QVBoxLayout(content);
    lay->setContentsMargins(20, 10, 20, 6);
    m_msg = new QLabel(content);
    m_msg->setObjectName(QStringLiteral("label_msg"));
    m_msg->setTextFormat(Qt::RichText);
    m_msg->setWordWrap(true);
    lay->addWidget(m_msg);
    setContentWidget(content);
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
    const QString msg = c.value(QStringLiteral("msg")).toString();
    m_msg->setText(QStringLiteral("<p>%1<br/><font color=red>%2</font></p>")
                       .arg(QStringLiteral("“%1”在目标位置已存在，请选择处理方式").arg(name.toHtmlEscaped()),
                            msg.toHtmlEscaped()));
    const int rest = m_conflicts.size() - m_index - 1;
    showCheckBox(rest > 0);
    if (rest > 0) {
        setCheckBoxText(m_index == 0 ? QStringLiteral("所有重名文件都执行此操作")
                                     : QStringLiteral("剩余%1个重名文件（夹）都执行此操作").arg(rest));
    }
    findChild<QCheckBox *>(QStringLiteral("checkBox"))->setAccessibleName(QStringLiteral("对剩余重名项执行相同操作"));
}

void VGonggongwangpan_isrename::choose(int totype)
{
    auto *box = findChild<QCheckBox *>(QStringLiteral("checkBox"));
    const bool all = box && box->isVisible() && box->isChecked();
    const int last = all ? m_conflicts.size() - 1 : m_index;
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
    if (box)
        box->setChecked(false);
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
