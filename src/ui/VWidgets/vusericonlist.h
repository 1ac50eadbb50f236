#pragma once

#include <QJsonArray>
#include <QWidget>

class QGridLayout;
class QLabel;

// The permission tab of the detail pane: everyone holding rights on the
// folder ("qxuname", "qxutype" of v1/wp/qx/GetDirQx), or the inheritance note.
class VUserIconList : public QWidget
{
    Q_OBJECT
public:
    explicit VUserIconList(QWidget *parent = nullptr);

    void setList(const QJsonArray &entries, bool inherited);
    int itemCount() const;
    bool showsInherited() const;

private:
    void clearItems();
    QGridLayout *m_grid;
    QLabel *m_note;
};
