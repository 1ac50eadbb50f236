#include "VWidgets/vaddressbar.h"
#include "ui_vaddressbar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVariant>
#include <QToolButton>

VAddressBar::VAddressBar(QWidget *parent) : QWidget(parent), ui(new Ui::VAddressBar)
{
    ui->setupUi(this);
    m_back = ui->toolButton;
    m_forward = ui->toolButton_2;
    m_refresh = ui->toolButton_3;
    m_base = ui->pushButton_base;
    m_search = ui->pushButton_search;
    m_segmentBox = ui->widget_segments;
    m_segmentLayout = ui->horizontalLayout_segments;
    m_search->hide();

    m_busyTimer = new QTimer(this);
    m_busyTimer->setSingleShot(true);
    m_busyTimer->setInterval(10000);
    connect(m_busyTimer, &QTimer::timeout, this, &VAddressBar::slotWatingEnd);
    refreshButtons();
}

VAddressBar::~VAddressBar()
{
    delete ui;
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
