#include "VWidgets/vaddressbar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVariant>
#include <QToolButton>

VAddressBar::VAddressBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VAddressBar"));
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(2);
    auto tool = [this](const char *name, const char *icon, const char *tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(QIcon(QStringLiteral(":/images/icon/") + QString::fromLatin1(icon)));
        b->setToolTip(QString::fromUtf8(tip));
        b->setFixedSize(28, 28);
        b->setAutoRaise(true);
        b->setCursor(Qt::PointingHandCursor);
        return b;
    };
    m_back = tool("toolButton", "back.png", "后退");
    m_forward = tool("toolButton_2", "forward.png", "前进");
    m_refresh = tool("toolButton_3", "refresh.png", "刷新");
    m_base = new QPushButton(this);
    m_base->setObjectName(QStringLiteral("pushButton_base"));
    m_base->setIcon(QIcon(QStringLiteral(":/images/icon/folder_base.png")));
    m_base->setText(QStringLiteral("公共网盘"));
    m_base->setCursor(Qt::PointingHandCursor);
    m_base->setFlat(true);
    m_segmentBox = new QWidget(this);
    m_segmentLayout = new QHBoxLayout(m_segmentBox);
    m_segmentLayout->setContentsMargins(0, 0, 0, 0);
    m_segmentLayout->setSpacing(0);
    m_search = new QPushButton(this);
    m_search->setObjectName(QStringLiteral("pushButton_search"));
    m_search->setIcon(QIcon(QStringLiteral(":/images/icon/delete.png")));
    m_search->setLayoutDirection(Qt::RightToLeft);
    m_search->setToolTip(QStringLiteral("退出搜索"));
    m_search->setCursor(Qt::PointingHandCursor);
    m_search->setFlat(true);
    m_search->hide();
    lay->addWidget(m_back);
    lay->addWidget(m_forward);
    lay->addSpacing(6);
    lay->addWidget(m_base);
    lay->addWidget(m_segmentBox);
    lay->addWidget(m_search);
    lay->addStretch(1);
    lay->addWidget(m_refresh);

    m_busyTimer = new QTimer(this);
    m_busyTimer->setSingleShot(true);
    m_busyTimer->setInterval(10000);
    connect(m_busyTimer, &QTimer::timeout, this, &VAddressBar::slotWatingEnd);
    connect(m_back, &QToolButton::clicked, this, &VAddressBar::on_toolButton_clicked);
    connect(m_forward, &QToolButton::clicked, this, &VAddressBar::on_toolButton_2_clicked);
    connect(m_refresh, &QToolButton::clicked, this, &VAddressBar::on_toolButton_3_clicked);
    connect(m_base, &QPushButton::clicked, this, &VAddressBar::on_pushButton_base_clicked);
    connect(m_search, &QPushButton::clicked, this, &VAddressBar::on_pushButton_search_clicked);
    refreshButtons();
}

void VAddressBar::setBusyTimeout(int ms)
{
    m_busyTimer->setInterval(ms);
}

QString VAddressBar::currentPath() const
{
    return m_index >= 0 ? m_history.at(m_index).first : QStringLiteral("/");
}

QString VAddressBar::currentSearch() const
{
    return m_index >= 0 ? m_history.at(m_index).second : QString();
}

void VAddressBar::goTo(const QString &path, const QString &search)
{
    if (m_busy)
        return;
    QString p = path.isEmpty() ? QStringLiteral("/") : path;
    const QPair<QString, QString> entry(p, search);
    if (m_index >= 0 && m_history.at(m_index) == entry) {
        announce();
        return;
    }
    while (m_history.size() > m_index + 1)
        m_history.removeLast();
    m_history.append(entry);
    m_index = m_history.size() - 1;
    rebuild();
    announce();
}

void VAddressBar::announce()
{
    m_busy = true;
    m_refresh->setIcon(QIcon(QStringLiteral(":/images/icon/refresh_busy.png")));
    m_busyTimer->start();
    refreshButtons();
    emit signalPathChange(currentPath(), currentSearch());
}

void VAddressBar::slotWatingEnd()
{
    m_busyTimer->stop();
    m_busy = false;
    m_refresh->setIcon(QIcon(QStringLiteral(":/images/icon/refresh.png")));
    refreshButtons();
}

void VAddressBar::refreshButtons()
{
    m_back->setEnabled(m_index > 0);
    m_forward->setEnabled(m_index >= 0 && m_index < m_history.size() - 1);
}

void VAddressBar::rebuild()
{
    for (QPushButton *b : qAsConst(m_segments))
        b->deleteLater();
    m_segments.clear();
    while (QLayoutItem *it = m_segmentLayout->takeAt(0)) {
        if (it->widget() && !qobject_cast<QPushButton *>(it->widget()))
            it->widget()->deleteLater();
        delete it;
    }
    const QStringList parts = currentPath().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString acc = QStringLiteral("/");
    for (const QString &part : parts) {
        acc += part + QLatin1Char('/');
        auto *sep = new QLabel(QStringLiteral("›"), m_segmentBox);
        sep->setStyleSheet(QStringLiteral("color:#999999;padding:0 4px;"));
        m_segmentLayout->addWidget(sep);
        auto *b = new QPushButton(part, m_segmentBox);
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setProperty("path", acc);
        b->setObjectName(QStringLiteral("pushButton_addr"));
        connect(b, &QPushButton::clicked, this, [this, b] { slotAddr(b); });
        m_segmentLayout->addWidget(b);
        m_segments << b;
    }
    const QString s = currentSearch();
    m_search->setVisible(!s.isEmpty());
    m_search->setText(s.isEmpty() ? QString()
                                  : QStringLiteral("搜索当前目录：\"%1\"").arg(s));
}

void VAddressBar::on_toolButton_clicked()
{
    if (m_busy || m_index <= 0)
        return;
    --m_index;
    rebuild();
    announce();
}

void VAddressBar::on_toolButton_2_clicked()
{
    if (m_busy || m_index >= m_history.size() - 1)
        return;
    ++m_index;
    rebuild();
    announce();
}

void VAddressBar::on_toolButton_3_clicked()
{
    if (m_busy || m_index < 0)
        return;
    announce();
}

void VAddressBar::slotAddr(QWidget *segment)
{
    if (segment)
        goTo(segment->property("path").toString());
}

void VAddressBar::on_pushButton_base_clicked()
{
    goTo(QStringLiteral("/"));
}

void VAddressBar::slotSearch(const QString &text)
{
    goTo(currentPath(), text);
}

void VAddressBar::on_pushButton_search_clicked()
{
    goTo(currentPath(), QString());
}
