#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonObject>

class QComboBox;
class QLineEdit;
class QTreeWidget;

// Folders from a template: a title (the new folder's name), the template
// and a preview of the folder structure it creates.
class VGonggongwangpan_createdirs : public VDialog
{
    Q_OBJECT
public:
    explicit VGonggongwangpan_createdirs(QWidget *parent = nullptr);

    QLineEdit *titleEdit() const { return m_title; }
    QComboBox *comboBox() const { return m_combo; }
    QTreeWidget *treeWidget() const { return m_tree; }
    bool isBusy() const { return m_busy; }
    // Loads the template list (called once the dialog is shown).
    void load();

signals:
    void signalConfirm(const QString &title, const QString &templateId);

public slots:
    void slotGetModelList(const QJsonObject &reply);
    void on_ComboBox_sel_currentIndexChanged(int index);
    void slotGetModelInfo(const QJsonObject &reply);
    void buttonok_clicked();
    // The reply of the act the page sent.
    void slotGetWpResult(const QJsonObject &re);

private:
    QLineEdit *m_title;
    QComboBox *m_combo;
    QTreeWidget *m_tree;
    bool m_busy = false;
};
