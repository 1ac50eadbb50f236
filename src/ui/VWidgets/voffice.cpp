#include "VWidgets/voffice.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "VWidgets/vframehandler.h"
#include "VWidgets/vframeless.h"
#include "VWidgets/vwebengineview.h"

namespace {
constexpr int kStripHeight = 32;
}

VOffice::VOffice(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("VOffice"));
    setAttribute(Qt::WA_DeleteOnClose);
    VFrameless::setup(this, false);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    widget_bg = new QWidget(this);
    widget_bg->setObjectName(QStringLiteral("widget_bg"));
    widget_bg->setStyleSheet(QStringLiteral("QWidget#widget_bg{background:#FFFFFF;border:1px solid #CCCCCC;}"));
    outer->addWidget(widget_bg);
    auto *body = new QVBoxLayout(widget_bg);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);

    auto *strip = new QWidget(widget_bg);
    strip->setObjectName(QStringLiteral("widget_title"));
    strip->setFixedHeight(kStripHeight);
    strip->setAttribute(Qt::WA_StyledBackground);
    strip->setStyleSheet(QStringLiteral("QWidget{background:#CCCCCC;}"));
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(10, 0, 4, 0);
    row->setSpacing(2);
    m_title = new QLabel(strip);
    m_title->setObjectName(QStringLiteral("label_title"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setStyleSheet(QStringLiteral("color:#333333;font-size:13px;"));
    // the strip drags the window: the label lets the mouse through to it
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(m_title, 1);
    auto button = [strip, row](const char *name, const QString &icon, const QString &tip) {
        auto *b = new QToolButton(strip);
        b->setObjectName(QLatin1String(name));
        b->setIcon(QIcon(icon));
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(28, 24);
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        b->setAutoRaise(true);
        b->setStyleSheet(QStringLiteral("background:transparent"));
        row->addWidget(b);
        return b;
    };
    m_min = button("toolButton_min", QStringLiteral(":/images/icon/min.png"), QStringLiteral("最小化"));
    m_max = button("toolButton_max", QStringLiteral(":/images/icon/max2.png"), QStringLiteral("最大化"));
    m_close = button("toolButton_close", QStringLiteral(":/images/icon/close.png"), QStringLiteral("关闭"));
    body->addWidget(strip);
    connect(m_close, &QToolButton::clicked, this, &VOffice::slot2close);
    connect(m_max, &QToolButton::clicked, this, &VOffice::slot2max);
    connect(m_min, &QToolButton::clicked, this, &VOffice::slot2min);

    // The strip's mouse events reach the window: it drags and double-clicks.
    strip->setMouseTracking(true);
    widget_bg->setMouseTracking(true);
    m_frame = new VFrameHandler(this, this, kStripHeight + 1);
    connect(m_frame, &VFrameHandler::signalMaximizedChanged, this, &VOffice::updateMaxButton);
    setMinimumSize(400, 260);
    resize(760, 482);
}

void VOffice::open(const QUrl &url)
{
    m_url = url;
    if (!m_view) {
        m_view = new VWebEngineView(widget_bg);
        m_view->setObjectName(QStringLiteral("webEngineView"));
        connect(m_view, &VWebEngineView::signalEnter, this, &VOffice::slot2enter);
        widget_bg->layout()->addWidget(m_view);
    }
    m_title->setText(windowTitle());
    m_view->load(url);
    show();
    raise();
    activateWindow();
}

bool VOffice::isMaximizedState() const { return m_frame->isMaximized(); }

void VOffice::slot2close(bool) { close(); }

void VOffice::slot2max(bool) { m_frame->toggleMaximized(); }

void VOffice::slot2min(bool) { showMinimized(); }

void VOffice::slot2enter()
{
    // the frame's resize cursor would otherwise stay over the page
    if (!m_frame->isResizing())
        setCursor(Qt::ArrowCursor);
}

void VOffice::updateMaxButton(bool maximized)
{
    m_max->setIcon(QIcon(maximized ? QStringLiteral(":/images/icon/max.png") : QStringLiteral(":/images/icon/max2.png")));
    m_max->setToolTip(maximized ? QStringLiteral("还原") : QStringLiteral("最大化"));
    m_max->setAccessibleName(m_max->toolTip());
}

void VOffice::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange && m_title)
        m_title->setText(windowTitle());
    QWidget::changeEvent(event);
}
