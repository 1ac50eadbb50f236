#include "bendibeifen/vbendibeifen_main.h"

#include <QCoreApplication>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "DB/db_self.h"
#include "backup/vbackuptask.h"
#include "bendibeifen/vbendibeifen.h"
#include "bendibeifen/vbendibeifen_log.h"
#include "transfer/vglobalconnect.h"

VBendibeifen_main::VBendibeifen_main(QWidget *parent)
    : VBendibeifen_main(new VBackupTask(1, db_self::instance()), parent)
{
    m_task->load();
}

VBendibeifen_main::VBendibeifen_main(VBackupTask *task, QWidget *parent) : VPage(parent), m_task(task)
{
    m_task->setParent(this);
    // the downloads' threads are joined before the program ends
    connect(qApp, &QCoreApplication::aboutToQuit, m_task, &VBackupTask::shutdown);
    build();
}

VBendibeifen_main::~VBendibeifen_main()
{
    m_task->shutdown();
}

void VBendibeifen_main::build()
{
    setObjectName(QStringLiteral("VBendibeifen_main"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_stack = new QStackedWidget(this);
    m_page = new VBendibeifen(m_task, m_stack);
    m_log = new VBendibeifen_log(m_task, m_stack);
    m_stack->addWidget(m_page);
    m_stack->addWidget(m_log);
    v->addWidget(m_stack);
    m_page->setLogPage(m_log);
    m_log->setMainPage(m_page);
    connect(m_page, &VBendibeifen::signalChangeWidget, this, &VBendibeifen_main::slotSetCurrentWidget);
    connect(m_log, &VBendibeifen_log::signalChangeWidget, this, &VBendibeifen_main::slotSetCurrentWidget);
}

QWidget *VBendibeifen_main::currentWidget() const
{
    return m_stack->currentWidget();
}

void VBendibeifen_main::slotSetCurrentWidget(QWidget *w)
{
    if (m_stack->indexOf(w) >= 0)
        m_stack->setCurrentWidget(w);
}
