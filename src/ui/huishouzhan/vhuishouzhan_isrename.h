#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonArray>
#include <QStringList>

class QLabel;
class QPushButton;

// Restores that clash with a name at their former place, one at a time:
// "保留两个" restores the item beside the existing one under a free name;
// the check box takes the same choice for the clashes still to come.
// Cancel drops them all.
class VHuishouzhan_isrename : public VDialog
{
    Q_OBJECT
public:
    // conflicts: the act's items with code 5 ("id", "filename"/"path", "msg").
    explicit VHuishouzhan_isrename(const QJsonArray &conflicts, QWidget *parent = nullptr);

    QLabel *messageLabel() const { return m_msg; }
    QPushButton *keepBothButton() const { return m_keep; }
    int current() const { return m_index; }
    QStringList chosenIds() const { return m_ids; }

signals:
    // The recycle ids to restore again, keeping both.
    void signalKeepBoth(const QStringList &ids);

public slots:
    void slotRename();

private:
    void showCurrent();

    QJsonArray m_conflicts;
    QStringList m_ids;
    int m_index = 0;
    QLabel *m_msg;
    QPushButton *m_keep;
};
