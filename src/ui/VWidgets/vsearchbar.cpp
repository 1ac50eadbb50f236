#include "VWidgets/vsearchbar.h"
#include "ui_vsearchbar.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

VSearchBar::VSearchBar(QWidget *parent) : QWidget(parent), ui(new Ui::VSearchBar)
{
    ui->setupUi(this);
    m_lineEdit = ui->lineEdit;
    m_button = ui->toolButton;
    m_lineEdit->setAccessibleName(QStringLiteral("搜索当前位置的文件/文件夹"));
}

VSearchBar::~VSearchBar()
{
    delete ui;
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
