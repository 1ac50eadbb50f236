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
        setTitle(QStringLiteral("添加文件夹"));
        m_label->setText(QStringLiteral("文件夹名称"));
        setMinimumWidth(350);
        m_lineEdit->setAccessibleName(QStringLiteral("文件夹名称"));
        m_lineEdit->setFocus();
    } else if (type == 5) {
        setTitle(QStringLiteral("系统提示"));
        m_label->setText(QStringLiteral("确认移入回收站？"));
    } else {
        setTitle(QStringLiteral("系统提示"));
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
    case 1: {
        if (inputText().isEmpty()) {
            showMessage(QStringLiteral("请填写文件夹名称"));
            return;
        }
        const QString bad = nameError(inputText());
        if (!bad.isEmpty()) {
            showMessage(bad);
            return;
        }
        m_busy = true;
        showMessage(QStringLiteral("正在创建文件夹，请稍后"));
        emit signalConfirmed(m_type, inputText(), m_paths);
        break;
    }
    case 5:
        m_busy = true;
        showMessage(QStringLiteral("正在删除文件，请稍后"));
        emit signalConfirmed(m_type, QString(), m_paths);
        break;
    default:
        accept();
    }
}

QString VPrompt::nameError(const QString &name)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("文件夹名称不能为 . 或 ..");
    for (const QChar c : name) {
        if (forbidden.contains(c) || c.unicode() < 0x20)
            return QStringLiteral("文件夹名称不能包含 / \\ : * ? \" < > |");
    }
    return QString();
}

void VPrompt::slotGetWpResult(const QJsonObject &reply)
{
    // The reply of the request this prompt sent, in the common envelope:
    // "Code" 0 closes, anything else shows "Msg" and lets the user try again.
    m_busy = false;
    const QJsonValue c = reply.value(QStringLiteral("Code"));
    const int code = c.isUndefined() ? 0 : c.toVariant().toInt();
    if (code == 0) {
        accept();
        return;
    }
    QString msg = reply.value(QStringLiteral("Msg")).toVariant().toString();
    if (msg.isEmpty())
        msg = QStringLiteral("操作失败，请稍后重试");
    showMessage(msg);
}

void VPrompt::on_lineEdit_textChanged(const QString &)
{
    showMessage(QString());
}
