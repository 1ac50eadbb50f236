#include "VWidgets/vgrid_page.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

VGrid_page::VGrid_page(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VGrid_page"));
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(4);
    auto container = [this](const char *name) {
        auto *w = new QWidget(this);
        w->setObjectName(QString::fromLatin1(name));
        auto *l = new QHBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(4);
        return w;
    };
    m_previous = new QLabel(QStringLiteral("上一页"), this);
    m_previous->setObjectName(QStringLiteral("previousPageLabel"));
    m_next = new QLabel(QStringLiteral("下一页"), this);
    m_next->setObjectName(QStringLiteral("nextPageLabel"));
    m_left = container("leftPagesWidget");
    m_center = container("centerPagesWidget");
    m_right = container("rightPagesWidget");
    m_leftSeparator = new QLabel(QStringLiteral(".."), this);
    m_rightSeparator = new QLabel(QStringLiteral(".."), this);
    m_lineEdit = new QLineEdit(this);
    m_lineEdit->setObjectName(QStringLiteral("pageLineEdit"));
    m_lineEdit->setAccessibleName(QStringLiteral("跳转到页"));
    m_lineEdit->setFixedSize(40, 24);
    m_lineEdit->setValidator(new QIntValidator(0, 999999, m_lineEdit));
    m_lineEdit->setAlignment(Qt::AlignCenter);
    for (QLabel *l : {m_previous, m_next}) {
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }
    lay->addStretch(1);
    lay->addWidget(m_previous);
    lay->addWidget(m_left);
    lay->addWidget(m_leftSeparator);
    lay->addWidget(m_center);
    lay->addWidget(m_rightSeparator);
    lay->addWidget(m_right);
    lay->addWidget(m_next);
    lay->addWidget(m_lineEdit);
    connect(m_lineEdit, &QLineEdit::returnPressed, this, [this] {
        const QString t = m_lineEdit->text().trimmed();
        m_lineEdit->clear();
        if (!t.isEmpty())
            goToPage(t.toInt());
    });
    rebuild();
}

void VGrid_page::setPageCount(int count)
{
    m_pageCount = qMax(1, count);
    m_currentPage = qBound(1, m_currentPage, m_pageCount);
    rebuild();
}

void VGrid_page::setCurrentPage(int page)
{
    m_currentPage = qBound(1, page, m_pageCount);
    rebuild();
}

void VGrid_page::goToPage(int page)
{
    page = qBound(1, page, m_pageCount);
    if (page == m_currentPage)
        return;
    m_currentPage = page;
    rebuild();
    emit currentPageChanged(page);
}

QLabel *VGrid_page::makePageLabel(int page, QWidget *parent)
{
    auto *l = new QLabel(QString::number(page), parent);
    l->setProperty("page", true);
    l->setProperty("currentPage", page == m_currentPage);
    l->setProperty("pageNumber", page);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(22);
    l->setCursor(Qt::PointingHandCursor);
    l->installEventFilter(this);
    parent->layout()->addWidget(l);
    return l;
}

void VGrid_page::clear(QWidget *container)
{
    while (QLayoutItem *it = container->layout()->takeAt(0)) {
        if (it->widget())
            it->widget()->deleteLater();
        delete it;
    }
}

void VGrid_page::rebuild()
{
    clear(m_left);
    clear(m_center);
    clear(m_right);
    const int from = qMax(1, m_currentPage - m_around);
    const int to = qMin(m_pageCount, m_currentPage + m_around);
    if (from > 1)
        makePageLabel(1, m_left);
    for (int p = from; p <= to; ++p)
        makePageLabel(p, m_center);
    if (to < m_pageCount)
        makePageLabel(m_pageCount, m_right);
    m_leftSeparator->setVisible(from > 2);
    m_rightSeparator->setVisible(to < m_pageCount - 1);
    m_previous->setEnabled(m_currentPage > 1);
    m_next->setEnabled(m_currentPage < m_pageCount);
}

QList<int> VGrid_page::shownPages() const
{
    QList<int> pages;
    for (QWidget *c : {m_left, m_center, m_right}) {
        for (int i = 0; i < c->layout()->count(); ++i) {
            QWidget *w = c->layout()->itemAt(i)->widget();
            if (w)
                pages << w->property("pageNumber").toInt();
        }
    }
    return pages;
}

bool VGrid_page::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_previous)
            goToPage(m_currentPage - 1);
        else if (watched == m_next)
            goToPage(m_currentPage + 1);
        else if (watched->property("page").toBool())
            goToPage(watched->property("pageNumber").toInt());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
