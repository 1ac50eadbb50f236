#include "main/vlayerinfo.h"
#include "ui_vlayerinfo.h"

#include "context/vglobalparameter.h"

#include <QMovie>
#include <QTimer>

namespace {
const int kLockTime = 3000;
}

VLayerInfo::VLayerInfo(QWidget *parent) : QWidget(parent), ui(new Ui::VLayerInfo)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setMinimumSize(181, 30);
    setMaximumHeight(30);
    m_movie = new QMovie(QStringLiteral(":/images/gif/waiting.gif"), QByteArray(), this);
    ui->label_waiting->setMovie(m_movie);

    const VGlobalParameter *g = VGlobalParameter::instance();
    m_hideTimer = new QTimer(this);
    m_hideTimer->setSingleShot(true);
    m_hideTimer->setInterval(g->layerShowTime());
    connect(m_hideTimer, &QTimer::timeout, this, &VLayerInfo::slotLayer_hide);
    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    m_showTimer->setInterval(g->layerStepTime());
    connect(m_showTimer, &QTimer::timeout, this, &VLayerInfo::slotLayer_show);
    m_unlockTimer = new QTimer(this);
    m_unlockTimer->setSingleShot(true);
    m_unlockTimer->setInterval(kLockTime);
    connect(m_unlockTimer, &QTimer::timeout, this, &VLayerInfo::slotUnlock);
    hide();
}

VLayerInfo::~VLayerInfo()
{
    delete ui;
}

QString VLayerInfo::text() const
{
    return ui->label_txt->text();
}

void VLayerInfo::prepare(Kind kind, const QString &text, const QString &background, bool lock)
{
    m_kind = kind;
    m_background = background;
    if (lock) {
        m_locked = true;
        m_unlockTimer->start();
    }
    ui->label_warning->setVisible(kind == Error);
    ui->label_waiting->setVisible(kind == Waiting);
    ui->label_success->setVisible(kind == Success);
    ui->label_txt->setText(text);
    const QString border = kind == Waiting ? QStringLiteral("#F5DAB1") : kind == Success ? QStringLiteral("#C2E7B0")
                                                                                        : QStringLiteral("#FBC4C4");
    ui->widget_bg->setStyleSheet(QStringLiteral("#widget_bg{background:%1;border:1px solid %2;border-radius:4px;}"
                                                "#label_txt{color:%3;font-size:13px;}")
                                     .arg(background, border,
                                          kind == Error ? QStringLiteral("#F56C6C")
                                          : kind == Success ? QStringLiteral("#4E9A2A")
                                                            : QStringLiteral("#B8741A")));
    // grow with the text rather than clip it
    adjustSize();
}

void VLayerInfo::setTimes(int hideMs, int showDelayMs, int lockMs)
{
    m_hideTimer->setInterval(hideMs);
    m_showTimer->setInterval(showDelayMs);
    m_unlockTimer->setInterval(lockMs);
}

void VLayerInfo::slotLayer_err(const QString &text, bool lock)
{
    if (m_locked)
        return;
    prepare(Error, text.isEmpty() ? QStringLiteral("未知异常") : text, QStringLiteral("#FFF1F1"), lock);
    m_showTimer->stop();
    slotLayer_show();
    m_hideTimer->start();
}

void VLayerInfo::slotLayer_success(const QString &text, bool lock)
{
    if (m_locked)
        return;
    // the success toast shares the error toast's background and timing
    prepare(Success, text.isEmpty() ? QStringLiteral("操作成功") : text, QStringLiteral("#FFF1F1"), lock);
    m_showTimer->stop();
    slotLayer_show();
    m_hideTimer->start();
}

void VLayerInfo::slotLayer_waiting(const QString &text, bool lock)
{
    if (m_locked)
        return;
    prepare(Waiting, text.isEmpty() ? QStringLiteral("数据加载中，请稍等...") : text, QStringLiteral("#FDF7ED"), lock);
    m_hideTimer->stop();
    if (lock)
        slotLayer_show();
    else
        m_showTimer->start();
}

void VLayerInfo::slotLayer_show()
{
    if (VGlobalParameter::instance()->isDialogShowing())
        return;
    if (m_kind == Waiting)
        m_movie->start();
    place();
    raise();
    show();
}

void VLayerInfo::slotLayer_hide()
{
    m_hideTimer->stop();
    m_showTimer->stop();
    if (m_locked)
        return;
    m_movie->stop();
    hide();
}

void VLayerInfo::slotUnlock()
{
    m_locked = false;
}

void VLayerInfo::place()
{
    if (!m_anchor)
        return;
    const QRect g = m_anchor->geometry();
    // centred over the window's content, just below its title bar
    move(g.center().x() - width() / 2, g.top() + 90);
}
