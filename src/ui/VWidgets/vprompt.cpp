#include "VWidgets/vprompt.h"
#include "ui_vprompt.h"

#include "context/vglobalparameter.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

VPrompt::VPrompt(QWidget *parent) : VDialog(parent)
{
    auto *content = new QWidget(this);
    form = new Ui::VPromptForm;
    form->setupUi(content);
    m_label = form->label_2;
    m_lineEdit = form->lineEdit;
    setContentWidget(content);
    setTitle(QStringLiteral("提示"));
    setFixedSize(397, 161);
    disconnect(okButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton(), &QPushButton::clicked, this, &VPrompt::slotClicked);
    connect(m_lineEdit, &QLineEdit::returnPressed, this, &VPrompt::slotClicked);
    connect(m_lineEdit, &QLineEdit::textChanged, this, &VPrompt::on_lineEdit_textChanged);
    setType(-1);
}

VPrompt::~VPrompt()
{
    delete form;
}

void VPrompt::setType(int type)
{
    m_type = type;
    m_lineEdit->setVisible(type == 1);
    showCancel(type != -1);
    if (type == 1) {
        setTitle(QStringLiteral("新建文件夹"));
        m_label->setText(QStringLiteral("文件夹名称"));
    } else if (type == 5) {
        setTitle(QStringLiteral("删除"));
    }
}

void VPrompt::setText(const QString &text)
{
    m_label->setText(text);
}

void VPrompt::setText(const QString &text, int maxWidth)
{
    m_label->setMaximumWidth(maxWidth);
    m_label->setText(text);
}

QString VPrompt::inputText() const
{
    return m_lineEdit->text().trimmed();
}

void VPrompt::centre()
{
    QPoint c = VGlobalParameter::instance()->windowCenter();
    if (c.isNull() && parentWidget())
        c = parentWidget()->window()->geometry().center();
    if (c.isNull() && QGuiApplication::primaryScreen())
        c = QGuiApplication::primaryScreen()->availableGeometry().center();
    move(c - QPoint(width() / 2, height() / 2));
}

void VPrompt::slotClicked()
{
    if (m_busy)
        return;
    switch (m_type) {
    case 1:
        if (inputText().isEmpty()) {
            showMessage(QStringLiteral("请输入文件夹名称"));
            return;
        }
        m_busy = true;
        showMessage(QStringLiteral("正在创建文件夹，请稍后"));
        emit signalConfirmed(m_type, inputText(), m_paths);
        break;
    case 5:
        m_busy = true;
        showMessage(QStringLiteral("正在删除文件，请稍后"));
        emit signalConfirmed(m_type, QString(), m_paths);
        break;
    default:
        accept();
    }
}

void VPrompt::slotGetWpResult(const QJsonObject &act)
{
    // The act record of the request this prompt sent: done closes, a failure
    // shows its message and lets the user try again.
    m_busy = false;
    const int code = act.value(QStringLiteral("code")).toInt();
    if (code == 0) {
        accept();
        return;
    }
    showMessage(act.value(QStringLiteral("msg")).toString());
}

void VPrompt::on_lineEdit_textChanged(const QString &)
{
    showMessage(QString());
}
