#pragma once

#include <QList>
#include <QListWidgetItem>
#include <QMetaType>
#include <QWidget>

namespace Ui {
class VGrid;
}
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMovie;
class VGrid_head_item;
class VGrid_page;

// The list every page is built from: a sortable header, the rows, a pager,
// a "暂无数据" note when empty and a loading animation over the list.
class VGrid : public QWidget
{
    Q_OBJECT
public:
    explicit VGrid(QWidget *parent = nullptr);
    ~VGrid() override;

    // width 0 takes the free width. Returns the header cell (number from 1).
    VGrid_head_item *addColumn(const QString &title, bool sortable, int minWidth, int width,
                               bool last = false);
    QList<int> columnWidths() const;
    QListWidget *listWidget() const { return m_list; }
    VGrid_page *pager() const { return m_pager; }
    QCheckBox *allCheckBox() const { return m_all; }
    // Adds a row showing the widget; the item is returned for the caller's data.
    QListWidgetItem *addRow(QWidget *rowWidget, int height = 40);
    void clearRows();
    void refreshEmpty();
    bool isEmptyShown() const;
    bool isLoading() const { return m_loading; }

signals:
    void signalClick(VGrid_head_item *item);
    void signalSortParams(int column, int ordertype);
    void signalResize(int index, int width);
    void signalResize(QList<int> widths);
    void signalSelectedItems(QList<QListWidgetItem *> items);
    void signalItemClick(QListWidgetItem *item);
    void signalItemDoubleClick(QListWidgetItem *item);
    void signalSetLoading(bool on);

public slots:
    void slotClick(VGrid_head_item *item);
    void slotAllChecked(bool b);
    void slotStateChanged(int state);
    void slotResize(int index, int width);
    void slotItemClicked(QListWidgetItem *current, QListWidgetItem *previous);
    void slotItemDoubleClicked(QListWidgetItem *item);
    void slotSelectionChanged();
    void setLoading(bool on);
    void slotSetOtherSelectedStatus(QListWidgetItem *item, bool selected);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeOverlays();
    Ui::VGrid *ui;
    QWidget *m_top;
    QHBoxLayout *m_headLayout;
    QCheckBox *m_all;
    QListWidget *m_list;
    QWidget *m_foot;
    VGrid_page *m_pager;
    QLabel *m_empty;
    QLabel *m_loadingLabel;
    QMovie *m_movie;
    QList<VGrid_head_item *> m_heads;
    bool m_loading = false;
    bool m_ctrlDown = false;
    bool m_aDown = false;
};

Q_DECLARE_METATYPE(QList<QListWidgetItem *>)
