#pragma once

#include <QWidget>

class QLabel;

// One header cell of a grid: a title and, when sortable, a sort mark that a
// click flips between ascending and descending.
class VGrid_head_item : public QWidget
{
    Q_OBJECT
public:
    VGrid_head_item(int index, const QString &title, bool sortable, QWidget *parent = nullptr);

    int index() const { return m_index; }
    QString title() const;
    bool sortable() const { return m_sortable; }
    // 0 ascending, 1 descending.
    int ordertype() const { return m_ordertype; }
    void setOrdertype(int type);
    // Whether this column is the one the list is sorted by (shows the mark).
    void setActive(bool active);
    bool isActive() const { return m_active; }

signals:
    void signalClick(VGrid_head_item *item);
    void signalResize(int index, int w);

public slots:
    void slotClick(VGrid_head_item *item);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshMark();
    int m_index;
    bool m_sortable;
    int m_ordertype = 0;
    bool m_active = false;
    QWidget *m_item;
    QLabel *m_title;
    QLabel *m_mark;
};
