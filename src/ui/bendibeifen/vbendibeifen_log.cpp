#include "bendibeifen/vbendibeifen_log.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "VWidgets/vpageparts.h"
#include "bendibeifen/vbendibeifen_log_done.h"
#include "bendibeifen/vbendibeifen_log_working.h"

VBendibeifen_log::VBendibeifen_log(VBackupTask *task, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VBendibeifen_log"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    const VPageParts::LogBar bar = VPageParts::logBar(this, QStringLiteral("返回本地备份"), QStringLiteral("正在备份"),
                                                      QStringLiteral("备份完成"));
    pushButton_back = bar.back;
    pushButton_working = bar.first;
    pushButton_done = bar.second;
    QWidget *top = bar.bar;
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
