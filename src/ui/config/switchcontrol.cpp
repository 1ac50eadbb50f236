#include "config/switchcontrol.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

SwitchControl::SwitchControl(QWidget *parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(minimumSizeHint());
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &SwitchControl::onTimeout);
    setAccessibleName(QStringLiteral("开关"));
    setAccessibleDescription(QStringLiteral("已关闭"));
}

QSize SwitchControl::sizeHint() const
{
    return minimumSizeHint();
}

QSize SwitchControl::minimumSizeHint() const
{
    return QSize(2 * (m_height + m_margin), m_height + 2 * m_margin);
}

int SwitchControl::endX() const
{
    return m_checked ? width() - m_height / 2 : m_height / 2;
}

void SwitchControl::setToggled(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    setAccessibleDescription(m_checked ? QStringLiteral("已开启") : QStringLiteral("已关闭"));
    m_timer.start();
}

void SwitchControl::flip()
{
    m_checked = !m_checked;
    setAccessibleDescription(m_checked ? QStringLiteral("已开启") : QStringLiteral("已关闭"));
    emit toggled(m_checked);
    m_timer.start();
}

void SwitchControl::onTimeout()
{
    const int target = endX();
    if (m_x < target)
        ++m_x;
    else if (m_x > target)
        --m_x;
    if (m_x == target)
        m_timer.stop();
    update();
}

void SwitchControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor track = isEnabled() ? (m_checked ? m_checkedColor : m_offColor) : m_disabledColor;
    QPainterPath path;
    path.addRoundedRect(QRectF(m_margin, m_margin, width() - 2 * m_margin, height() - 2 * m_margin), m_radius,
                        m_radius);
    painter.fillPath(path, track);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_thumbColor);
    const qreal d = m_height - 4;
    painter.drawEllipse(QRectF(m_x - d / 2, (height() - d) / 2, d, d));
    if (hasFocus()) {
        painter.setPen(QPen(QColor(0x00, 0x81, 0xDD), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), m_radius, m_radius);
    }
}

void SwitchControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (isEnabled() && event->button() == Qt::LeftButton && rect().contains(event->pos())) {
        event->accept();
        flip();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void SwitchControl::keyPressEvent(QKeyEvent *event)
{
    // the keyboard works it like a click
    if (isEnabled() && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return)) {
        flip();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SwitchControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_timer.stop();
    m_x = endX();
    update();
}
