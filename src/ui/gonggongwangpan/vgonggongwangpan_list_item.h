#pragma once

#include <QWidget>

#include "records/m_fileinfo.h"
#include "records/m_renameinfo.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QToolButton;

// One row of the disk list: check box, file icon, name, update time, size
// and updater; entering the row shows its download and more buttons. The
// name can be edited in place (rename); only one row edits at a time.
class VGonggongwangpan_list_item : public QWidget
{
    Q_OBJECT
public:
    VGonggongwangpan_list_item(const M_fileinfo &info, QListWidgetItem *item, QWidget *parent = nullptr);
    ~VGonggongwangpan_list_item() override;

    // Shows another item in this row (rows are reused from page to page): a
    // rename in progress is given up, the check box cleared.
    void setInfo(const M_fileinfo &info);
    const M_fileinfo &info() const { return m_info; }
    QListWidgetItem *listItem() const { return m_item; }
    QLabel *nameLabel() const { return m_name; }
    QLineEdit *editor() const { return m_editor; }
    QCheckBox *checkBox() const { return m_check; }
    // The hover buttons (made on first use).
    QToolButton *downloadButton();
    QToolButton *moreButton();
    bool isEditing() const { return m_editing; }
    // Keeps the buttons shown while the row's menu is open.
    void setMenuOpen(bool open);
    void setChecked(bool checked);

    // What the name editor offers (the name without its extension) and the
    // extension it keeps, as the name writes it: "报告.DOCX" -> "报告", "DOCX".
    static QString editableName(const M_fileinfo &info, QString *ext);
    // The new full name for what was typed; empty when there is nothing to
    // send (an empty or unchanged name).
    static QString renamedTo(const M_fileinfo &info, const QString &typed, const QString &ext);

    // Starts the in-place editor; false when another row is editing.
    bool startRename();
    void cancelRename();

signals:
    void signalRename(const M_renameinfo &info);
    void signalDownload(const M_fileinfo &info);
    void signalMore(VGonggongwangpan_list_item *row);
    void signalChecked(QListWidgetItem *item, bool checked);

public slots:
    void slotResize(const QList<int> &widths);
    void on_toolButton_clicked();
    void on_toolButton_2_clicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void finishRename();
    void ensureButtons();
    void refreshName();
    void showButtons(bool on);
    void nameButtons();

    M_fileinfo m_info;
    QListWidgetItem *m_item;
    QCheckBox *m_check;
    QLabel *m_icon;
    QWidget *m_nameCell;
    QLabel *m_name;
    QLineEdit *m_editor = nullptr;
    QToolButton *m_download = nullptr;
    QToolButton *m_more = nullptr;
    QLabel *m_time;
    QLabel *m_size;
    QLabel *m_updater;
    bool m_hover = false;
    bool m_menuOpen = false;
    bool m_editing = false;
    QString m_ext;
    QString m_iconPath;
};
