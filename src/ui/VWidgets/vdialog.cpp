#include "VWidgets/vdialog.h"
#include "ui_vdialog.h"

#include "VWidgets/vframeless.h"
#include "context/vglobalparameter.h"

#include <QMouseEvent>
#include <QShowEvent>
#include <QHideEvent>

namespace {
// Skip flags per dialog kind, kept for the run only.
QHash<QString, bool> &skipFlags()
{
    static QHash<QString, bool> flags;
    return flags;
}
// Open dialogs; the status layer keeps quiet while any is shown.
int g_openDialogs = 0;
} // namespace

VDialog::VDialog(QWidget *parent) : QDialog(parent), ui(new Ui::VDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    setAttribute(Qt::WA_TranslucentBackground);
    const int m = VGlobalParameter::instance()->dialogMargin();
    layout()->setContentsMargins(m, m, m, m);
    VFrameless::addShadow(ui->widget_bg, QColor(0x44, 0x44, 0x44), m * 2);
    ui->checkBox->hide();
    ui->pushButton_c1->hide();
    ui->pushButton_c2->hide();
    ui->pushButton_c3->hide();
    ui->pushButton_cancle99->setStyleSheet(buttonStyle(1));
    ui->pushButton_ok99->setStyleSheet(buttonStyle(2));
    ui->pushButton_cancle99->setCursor(Qt::PointingHandCursor);
    ui->pushButton_ok99->setCursor(Qt::PointingHandCursor);
    ui->widget99->installEventFilter(this);
    connect(ui->toolButton99, &QToolButton::clicked, this, &QDialog::reject);
    connect(ui->pushButton_cancle99, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->pushButton_ok99, &QPushButton::clicked, this, &QDialog::accept);
}

VDialog::~VDialog()
{
    delete ui;
}

QString VDialog::buttonStyle(int type)
{
    QString s = QStringLiteral("border-radius:3px;border:1px solid #CCCCCC;");
    if (type == 2)
        s += QStringLiteral("background-color:#0081DD;color:#FFFFFF;");
    return QStringLiteral("QPushButton{%1min-width:64px;min-height:28px;padding:0 10px;}").arg(s);
}

void VDialog::setTitle(const QString &title)
{
    ui->label99->setText(title);
    setWindowTitle(title);
}

void VDialog::setContentWidget(QWidget *widget)
{
    ui->widget_content99->layout()->addWidget(widget);
}

void VDialog::showCancel(bool show)
{
    ui->pushButton_cancle99->setVisible(show);
}

void VDialog::showCheckBox(bool show)
{
    ui->checkBox->setVisible(show);
}

void VDialog::setCheckBoxText(const QString &text)
{
    ui->checkBox->setText(text);
    ui->checkBox->show();
}

QPushButton *VDialog::createButton(const QString &text, int type)
{
    QPushButton *extra[] = {ui->pushButton_c1, ui->pushButton_c2, ui->pushButton_c3};
    if (m_extraButtons >= 3)
        return nullptr;
    QPushButton *b = extra[m_extraButtons++];
    b->setText(text);
    b->setStyleSheet(buttonStyle(type));
    b->setCursor(Qt::PointingHandCursor);
    b->show();
    return b;
}

void VDialog::showMessage(const QString &text)
{
    ui->label_error99->setText(text.isEmpty() ? QString()
                                              : QStringLiteral("<font color=red>%1</font>").arg(text.toHtmlEscaped()));
}

QString VDialog::message() const
{
    return ui->label_error99->text();
}

QPushButton *VDialog::okButton() const
{
    return ui->pushButton_ok99;
}

QPushButton *VDialog::cancelButton() const
{
    return ui->pushButton_cancle99;
}

bool VDialog::isSkipped(const QString &kind)
{
    return skipFlags().value(kind, false);
}

void VDialog::setSkipped(const QString &kind, bool skip)
{
    skipFlags()[kind] = skip;
}

void VDialog::on_checkBox_stateChanged(int arg1)
{
    if (!m_kind.isEmpty())
        setSkipped(m_kind, arg1 == Qt::Checked);
}

bool VDialog::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == ui->widget99
        && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease)) {
        auto *me = static_cast<QMouseEvent *>(event); // only mouse events get here
        switch (type) {
        case QEvent::MouseButtonPress:
            if (me->button() == Qt::LeftButton) {
                m_dragging = true;
                m_offset = me->globalPos() - frameGeometry().topLeft();
            }
            break;
        case QEvent::MouseMove:
            if (m_dragging && (me->buttons() & Qt::LeftButton))
                move(me->globalPos() - m_offset);
            break;
        case QEvent::MouseButtonRelease:
            m_dragging = false;
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void VDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        VGlobalParameter::instance()->setIsDialogShowing(++g_openDialogs > 0);
    QDialog::showEvent(event);
}

void VDialog::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous()) {
        g_openDialogs = qMax(0, g_openDialogs - 1);
        VGlobalParameter::instance()->setIsDialogShowing(g_openDialogs > 0);
    }
    QDialog::hideEvent(event);
}
