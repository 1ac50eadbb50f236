#pragma once

#include <QList>
#include <QWidget>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QListWidgetItem;
class QPushButton;
class QToolButton;

// A row of the list pages: an optional check box, the name cell (icon, name
// elided to its width, a red " 已删除" badge for deleted files, buttons that
// show while the pointer is over the row), then plain cells and a path link
// whose widths follow the grid's columns. Server text is shown as plain
// text; the row and each control carry the item's name for screen readers.
class VListRow : public QWidget
{
    Q_OBJECT
public:
    VListRow(const QString &id, const QString &name, QListWidgetItem *item, QWidget *parent = nullptr);

    QString id() const { return m_id; }
    QString name() const { return m_nameText; }
    QListWidgetItem *listItem() const { return m_item; }
    QCheckBox *checkBox() const { return m_check; }
    QLabel *nameLabel() const { return m_name; }
    QLabel *badge() const { return m_badge; }
    QList<QToolButton *> hoverButtons() const { return m_buttons; }
    QPushButton *pathLink() const { return m_link; }
    void setChecked(bool on);

public slots:
    void slotResize(const QList<int> &widths);
    // The path link: the folder that holds the item.
    void on_pushButton_url_clicked();

signals:
    // The row's own check box changed its selection.
    void signalSetOtherSelectedStatus(QListWidgetItem *item, bool selected);
    // The display path of the folder to open in the disk view.
    void signalOpenFolder(const QString &path);

protected:
    // withCheck false keeps the box's room (the header has one) but hides it.
    void addCheckBox(bool withCheck = true);
    void addNameCell(const QString &iconPath, bool deleted);
    QToolButton *addHoverButton(const QString &icon, const QString &tip, const QString &objectName);
    QLabel *addCell(const QString &text, const char *objectName);
    QPushButton *addPathLink(const QString &text, const QString &folder);

    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshName();
    void showButtons(bool on);

    QString m_id;
    QString m_nameText;
    QListWidgetItem *m_item;
    QCheckBox *m_check = nullptr;
    QWidget *m_nameCell = nullptr;
    QLabel *m_name = nullptr;
    QLabel *m_badge = nullptr;
    QList<QToolButton *> m_buttons;
    QList<QWidget *> m_cells; // the cells after the name, in column order
    QPushButton *m_link = nullptr;
    QString m_linkText;
    QString m_linkFolder;
};
