#pragma once

#include "main/vpage.h"

class QStackedWidget;
class VBenditongbu;
class VBenditongbu_log;

// The local-sync page: the list of synced sections and the sync log. It
// presents the service only; no engine runs behind it.
class VBenditongbu_main : public VPage
{
    Q_OBJECT
public:
    explicit VBenditongbu_main(QWidget *parent = nullptr);

    VBenditongbu *listPage() const { return m_list; }
    VBenditongbu_log *logPage() const { return m_log; }
    QWidget *currentWidget() const;

public slots:
    void slotOpenLog();
    void slotOpenMain();

private:
    QStackedWidget *m_stack;
    VBenditongbu *m_list;
    VBenditongbu_log *m_log;
};
