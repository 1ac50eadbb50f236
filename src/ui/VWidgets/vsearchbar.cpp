#include "VWidgets/vsearchbar.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

VSearchBar::VSearchBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VSearchBar"));
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    m_lineEdit = new QLineEdit(this);
    m_lineEdit->setObjectName(QStringLiteral("lineEdit"));
    m_lineEdit->setPlaceholderText(QStringLiteral("搜索当前位置的文件/文件夹"));
    m_lineEdit->setMinimumSize(200, 28);
    m_button = new QToolButton(this);
    m_button->setObjectName(QStringLiteral("toolButton"));
    m_button->setIcon(QIcon(QStringLiteral(":/images/icon/search.png")));
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setFixedSize(30, 28);
    lay->addWidget(m_lineEdit);
    lay->addWidget(m_button);
    connect(m_lineEdit, &QLineEdit::textChanged, this, &VSearchBar::on_lineEdit_textChanged);
    connect(m_lineEdit, &QLineEdit::returnPressed, this, &VSearchBar::on_lineEdit_returnPressed);
    connect(m_button, &QToolButton::clicked, this, &VSearchBar::on_toolButton_clicked);
}

void VSearchBar::clear()
{
    m_lineEdit->clear();
}

void VSearchBar::on_isfocus(bool focus)
{
    setProperty("focus", focus);
    style()->unpolish(this);
    style()->polish(this);
}

void VSearchBar::on_lineEdit_textChanged(const QString &) {}

void VSearchBar::on_toolButton_clicked()
{
    emit signalSearch(m_lineEdit->text().trimmed());
}

void VSearchBar::on_lineEdit_returnPressed()
{
    emit signalSearch(m_lineEdit->text().trimmed());
}
