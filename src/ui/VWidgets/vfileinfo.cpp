#include "VWidgets/vfileinfo.h"

#include <QLabel>
#include <QVBoxLayout>

VFileInfo::VFileInfo(QWidget *parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("VFileInfo"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    m_body = new QWidget(this);
    m_layout = new QVBoxLayout(m_body);
    m_layout->setContentsMargins(12, 8, 12, 8);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    setWidget(m_body);
}

void VFileInfo::setInfo(const QString &name, const QString &value)
{
    auto *l = new QLabel(m_body);
    l->setWordWrap(true);
    l->setTextFormat(Qt::RichText);
    l->setText(QStringLiteral("<p >%1<span style='color:#999999;line-height:28px;'>%2</span></p>")
                   .arg(name.toHtmlEscaped(), value.toHtmlEscaped()));
    m_layout->insertWidget(m_layout->count() - 1, l);
}

void VFileInfo::clearInfo()
{
    while (m_layout->count() > 1) {
        QLayoutItem *it = m_layout->takeAt(0);
        delete it->widget();
        delete it;
    }
}

void VFileInfo::showFailed()
{
    clearInfo();
    auto *l = new QLabel(QStringLiteral("刷新失败，请稍后重试！"), m_body);
    l->setStyleSheet(QStringLiteral("color:#999999;"));
    m_layout->insertWidget(0, l);
}

int VFileInfo::rowCount() const
{
    return m_layout->count() - 1;
}
