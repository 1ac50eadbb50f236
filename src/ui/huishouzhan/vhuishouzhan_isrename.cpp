#include "huishouzhan/vhuishouzhan_isrename.h"

#include "VWidgets/vpageparts.h"
#include "lists/vrecycleresult.h"

#include <QCheckBox>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

VHuishouzhan_isrename::VHuishouzhan_isrename(const QJsonArray &conflicts, QWidget *parent)
    : VDialog(parent), m_conflicts(conflicts)
{
    setObjectName(QStringLiteral("VHuishouzhan_isrename"));
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
    m_keep = createButton(QStringLiteral("保留两个"), 2);
    m_keep->setObjectName(QStringLiteral("pushButton_keep"));
    m_keep->setAccessibleName(QStringLiteral("保留两个"));
    VPageParts::nameButtons(this, QStringLiteral("确定"), QStringLiteral("取消"));
    okButton()->hide();
    connect(m_keep, &QPushButton::clicked, this, &VHuishouzhan_isrename::slotRename);
    if (auto *box = findChild<QCheckBox *>(QStringLiteral("checkBox")))
        box->setAccessibleName(QStringLiteral("对剩余重名项执行相同操作"));
    setMinimumWidth(520);
    showCurrent();
}

void VHuishouzhan_isrename::showCurrent()
{
    if (m_conflicts.isEmpty())
        return;
    const QJsonObject c = m_conflicts.at(m_index).toObject();
    const QString name = VRecycleResult::itemName(c);
    m_msg->setText(QStringLiteral("<p>%1<br/><font color=red>%2</font></p>")
                       .arg(QStringLiteral("“%1”的原位置已有同名文件（夹）").arg(name.toHtmlEscaped()),
                            c.value(QStringLiteral("msg")).toString().toHtmlEscaped()));
    const int rest = m_conflicts.size() - m_index - 1;
    showCheckBox(rest > 0);
    if (rest > 0)
        setCheckBoxText(QStringLiteral("剩余%1个重名文件（夹）都执行此操作").arg(rest));
}

void VHuishouzhan_isrename::slotRename()
{
    auto *box = findChild<QCheckBox *>(QStringLiteral("checkBox"));
    const bool all = box && box->isVisible() && box->isChecked();
    const int last = all ? m_conflicts.size() - 1 : m_index;
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
    if (box) {
        const QSignalBlocker b(box);
        box->setChecked(false);
    }
    showCurrent();
}
