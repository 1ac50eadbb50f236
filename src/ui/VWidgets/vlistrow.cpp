#include "VWidgets/vlistrow.h"

#include "utils/vutils.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidgetItem>
#include <QPushButton>
#include <QToolButton>

VListRow::VListRow(const QString &id, const QString &name, QListWidgetItem *item, QWidget *parent)
    : QWidget(parent), m_id(id), m_nameText(name), m_item(item)
{
    setAccessibleName(name);
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(10, 0, 0, 0);
    lay->setSpacing(0);
}

void VListRow::addCheckBox(bool withCheck)
{
    m_check = new QCheckBox(this);
    m_check->setObjectName(QStringLiteral("checkBox"));
    m_check->setAccessibleName(QStringLiteral("选择 %1").arg(m_nameText));
    m_check->setFocusPolicy(Qt::NoFocus);
    if (!withCheck) {
        QSizePolicy sp = m_check->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        m_check->setSizePolicy(sp);
        m_check->hide();
    }
    layout()->addWidget(m_check);
    connect(m_check, &QCheckBox::toggled, this, [this](bool on) { emit signalSetOtherSelectedStatus(m_item, on); });
}

void VListRow::addNameCell(const QString &iconPath, bool deleted)
{
    m_nameCell = new QWidget(this);
    m_nameCell->installEventFilter(this);
    auto *nl = new QHBoxLayout(m_nameCell);
    nl->setContentsMargins(6, 0, 6, 0);
    nl->setSpacing(6);
    auto *icon = new QLabel(m_nameCell);
    icon->setFixedSize(20, 20);
    icon->setScaledContents(true);
    icon->setPixmap(QPixmap(iconPath));
    m_name = new QLabel(m_nameCell);
    m_name->setObjectName(QStringLiteral("label_filename"));
    m_name->setTextFormat(Qt::PlainText);
    m_name->setMinimumWidth(40);
    m_name->setStyleSheet(QStringLiteral("color:#333333;"));
    nl->addWidget(icon);
    nl->addWidget(m_name);
    if (deleted) {
        m_badge = new QLabel(QStringLiteral(" 已删除"), m_nameCell);
        m_badge->setObjectName(QStringLiteral("label_deleted"));
        m_badge->setTextFormat(Qt::PlainText);
        m_badge->setStyleSheet(QStringLiteral("color:#F56C6C;"));
        nl->addWidget(m_badge);
        setAccessibleDescription(QStringLiteral("已删除"));
    }
    // The badge and the hover buttons follow the name, not the cell's end.
    nl->addStretch(1);
    static_cast<QHBoxLayout *>(layout())->addWidget(m_nameCell, 1);
    refreshName();
}

QToolButton *VListRow::addHoverButton(const QString &icon, const QString &tip, const QString &objectName)
{
    auto *b = new QToolButton(m_nameCell);
    b->setObjectName(objectName);
    b->setIcon(QIcon(icon));
    b->setToolTip(tip);
    b->setAccessibleName(QStringLiteral("%1 %2").arg(tip, m_nameText));
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setVisible(false);
    static_cast<QHBoxLayout *>(m_nameCell->layout())->insertWidget(m_nameCell->layout()->count() - 1, b);
    m_buttons << b;
    return b;
}

QLabel *VListRow::addCell(const QString &text, const char *objectName)
{
    auto *l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(objectName));
    l->setTextFormat(Qt::PlainText);
    l->setStyleSheet(QStringLiteral("color:#666666;padding-left:8px;"));
    layout()->addWidget(l);
    m_cells << l;
    return l;
}

QPushButton *VListRow::addPathLink(const QString &text, const QString &folder)
{
    m_linkText = text;
    m_linkFolder = folder;
    m_link = new QPushButton(text, this);
    m_link->setObjectName(QStringLiteral("pushButton_url"));
    m_link->setFlat(true);
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->setToolTip(folder);
    m_link->setAccessibleName(QStringLiteral("打开所在目录 %1").arg(text));
    m_link->setFocusPolicy(Qt::NoFocus);
    m_link->setStyleSheet(QStringLiteral("QPushButton{border:none;color:#666666;text-align:left;padding-left:8px;}"
                                         "QPushButton:hover{color:#0081DD;text-decoration:underline;}"));
    layout()->addWidget(m_link);
    m_cells << m_link;
    connect(m_link, &QPushButton::clicked, this, &VListRow::on_pushButton_url_clicked);
    return m_link;
}

void VListRow::on_pushButton_url_clicked()
{
    emit signalOpenFolder(m_linkFolder);
}

void VListRow::setChecked(bool on)
{
    if (!m_check)
        return;
    const QSignalBlocker b(m_check);
    m_check->setChecked(on);
}

void VListRow::slotResize(const QList<int> &widths)
{
    // widths: the grid's columns; the first one is the name cell.
    for (int i = 0; i < m_cells.size() && i + 1 < widths.size(); ++i)
        m_cells.at(i)->setFixedWidth(widths.at(i + 1));
    refreshName();
}

void VListRow::refreshName()
{
    if (!m_name)
        return;
    // The room the cell leaves for the name: icon, badge and buttons keep theirs.
    int room = m_nameCell->width() - 12 - 20 - 6;
    if (m_badge)
        room -= m_badge->sizeHint().width() + 6;
    for (QToolButton *b : qAsConst(m_buttons))
        if (!b->isHidden())
            room -= b->sizeHint().width() + 6;
    m_name->setText(VUtils::elide(m_nameText, qMax(30, room), m_name->font()));
    m_name->setToolTip(m_nameText);
    if (m_link)
        m_link->setText(VUtils::elide(m_linkText, qMax(30, m_link->width() - 16), m_link->font()));
}

bool VListRow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_nameCell && event->type() == QEvent::Resize)
        refreshName();
    return QWidget::eventFilter(watched, event);
}

void VListRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refreshName();
}

void VListRow::showButtons(bool on)
{
    for (QToolButton *b : qAsConst(m_buttons))
        b->setVisible(on);
    if (m_name) {
        QFont f = m_name->font();
        f.setUnderline(on);
        m_name->setFont(f);
        refreshName();
    }
}

void VListRow::enterEvent(QEvent *event)
{
    QWidget::enterEvent(event);
    showButtons(true);
}

void VListRow::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    showButtons(false);
}
