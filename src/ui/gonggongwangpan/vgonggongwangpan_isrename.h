#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonArray>

class QLabel;
class QPushButton;

// Name clashes of a copy or move, one at a time: replace the item at the
// target or keep both (the copy gets a new name). The check box applies the
// choice to all the clashes still to come.
class VGonggongwangpan_isrename : public VDialog
{
    Q_OBJECT
public:
    // conflicts: the act's failing items with code 5 ("path", "msg").
    explicit VGonggongwangpan_isrename(const QJsonArray &conflicts, QWidget *parent = nullptr);

    QLabel *messageLabel() const { return m_msg; }
    QPushButton *replaceButton() const { return m_replace; }
    QPushButton *keepBothButton() const { return m_keep; }
    int current() const { return m_index; }
    // Each conflict with the chosen "totype" (1 replace, 2 keep both).
    QJsonArray choices() const { return m_choices; }

signals:
    void signalChoices(const QJsonArray &choices);

public slots:
    void slotReplace();
    void slotRename();

private:
    void choose(int totype);
    void showCurrent();

    QJsonArray m_conflicts;
    QJsonArray m_choices;
    int m_index = 0;
    QLabel *m_msg;
    QPushButton *m_replace;
    QPushButton *m_keep;
};
