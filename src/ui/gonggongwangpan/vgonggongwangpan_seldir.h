#pragma once

#include "VWidgets/vdialog.h"

#include <QHash>
#include <QJsonObject>

class QTreeWidget;
class QTreeWidgetItem;

// The target folder chooser of copy and move: the disk's folder tree, each
// node's sub-folders loaded when it is first expanded.
class VGonggongwangpan_selDir : public VDialog
{
    Q_OBJECT
public:
    explicit VGonggongwangpan_selDir(const QString &title = QStringLiteral("选择目标文件夹"),
                                     QWidget *parent = nullptr);

    QTreeWidget *treeWidget() const { return m_tree; }
    // The chosen folder's server path; empty when none.
    QString chosenPath() const;
    QTreeWidgetItem *itemForPath(const QString &path) const;
    bool isBusy() const { return m_busy; }

signals:
    void signalConfirm(const QString &targetPath);

public slots:
    void on_treeWidget_itemExpanded(QTreeWidgetItem *item);
    void on_treeWidget_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void slotGetResult(const QJsonObject &reply);
    void buttonok_clicked();
    // The reply of the act the page sent for the chosen folder.
    void slotGetWpResult(const QJsonObject &reply);

private:
    QTreeWidgetItem *addFolder(QTreeWidgetItem *parent, const QString &name, const QString &path, bool leaf);

    QTreeWidget *m_tree;
    QHash<QString, QTreeWidgetItem *> m_items;
    bool m_busy = false;
};
