#pragma once

#include <QWidget>

// One user or group that holds rights on a folder.
class VUserIconList_item : public QWidget
{
    Q_OBJECT
public:
    // utype: the "qxutype" of the rights entry (1 person, 2 role, else group).
    VUserIconList_item(const QString &name, int utype, QWidget *parent = nullptr);
    QString name() const { return m_name; }

private:
    QString m_name;
};
