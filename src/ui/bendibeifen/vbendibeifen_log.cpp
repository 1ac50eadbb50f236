#include "bendibeifen/vbendibeifen_log.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "bendibeifen/vbendibeifen_log_done.h"
#include "bendibeifen/vbendibeifen_log_working.h"

namespace {

const char *const kTabStyle = "QPushButton{border:none;border-bottom:2px solid transparent;padding:0 14px;"
                              "color:#666666;font-size:14px;min-height:38px;}"
                              "QPushButton:checked{color:#0081DD;border-bottom:2px solid #0081DD;}";

} // namespace

VBendibeifen_log::VBendibeifen_log(VBackupTask *task, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VBendibeifen_log"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("widget_top"));
    top->setStyleSheet(QStringLiteral("#widget_top{border-bottom:1px solid #E4E4E4;}"));
    auto *h = new QHBoxLayout(top);
    h->setContentsMargins(12, 0, 12, 0);
    pushButton_back = new QPushButton(QIcon(QStringLiteral(":/images/icon/back_blue.png")),
                                      QStringLiteral("返回本地备份"), top);
    pushButton_back->setObjectName(QStringLiteral("pushButton_back"));
    pushButton_back->setAccessibleName(QStringLiteral("返回本地备份"));
    pushButton_back->setFlat(true);
    pushButton_back->setCursor(Qt::PointingHandCursor);
    pushButton_back->setStyleSheet(QStringLiteral("QPushButton{border:none;color:#0081DD;padding:0 6px;}"));
    h->addWidget(pushButton_back);
    h->addSpacing(20);
    pushButton_working = new QPushButton(QStringLiteral("正在备份"), top);
    pushButton_done = new QPushButton(QStringLiteral("备份完成"), top);
    int i = 0;
    for (QPushButton *b : {pushButton_working, pushButton_done}) {
        b->setObjectName(i++ == 0 ? QStringLiteral("pushButton_working") : QStringLiteral("pushButton_done"));
        b->setAccessibleName(b->text());
        b->setCheckable(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setStyleSheet(QString::fromLatin1(kTabStyle));
        h->addWidget(b);
    }
    h->addStretch();
    v->addWidget(top);
    m_stack = new QStackedWidget(this);
    m_working = new VBendibeifen_log_working(task, m_stack);
    m_done = new VBendibeifen_log_done(task, m_stack);
    m_stack->addWidget(m_working);
    m_stack->addWidget(m_done);
    v->addWidget(m_stack, 1);
    connect(pushButton_back, &QPushButton::clicked, this, [this] {
        if (m_mainPage)
            emit signalChangeWidget(m_mainPage);
    });
    connect(pushButton_working, &QPushButton::clicked, this, [this] { showTab(0); });
    connect(pushButton_done, &QPushButton::clicked, this, [this] { showTab(1); });
    showTab(0);
}

void VBendibeifen_log::showTab(int index)
{
    m_stack->setCurrentIndex(index);
    pushButton_working->setChecked(index == 0);
    pushButton_done->setChecked(index == 1);
    if (index == 1)
        m_done->reload();
}

int VBendibeifen_log::currentTab() const
{
    return m_stack->currentIndex();
}
