#pragma once

#include <QDialog>
#include <QHash>
#include <QPoint>

namespace Ui {
class VDialog;
}
class QPushButton;

// The standard dialog frame: a title row that drags the dialog, a content area
// for the caller's widget and a bottom row with a check box, a message and the
// buttons. Frameless, white, with a thin shadow.
class VDialog : public QDialog
{
    Q_OBJECT
public:
    explicit VDialog(QWidget *parent = nullptr);
    ~VDialog() override;

    void setTitle(const QString &title);
    // The widget is put into the content area and owned by the dialog.
    void setContentWidget(QWidget *widget);
    void showCancel(bool show);
    void showCheckBox(bool show);
    void setCheckBoxText(const QString &text);
    // Up to three extra buttons; type 2 is the primary (blue) style.
    QPushButton *createButton(const QString &text, int type = 1);
    // Shows the text in red in the bottom row; an empty text clears it.
    void showMessage(const QString &text);
    QString message() const;

    QPushButton *okButton() const;
    QPushButton *cancelButton() const;

    // The kind names the dialog for "do not ask again": a ticked check box
    // marks the kind skipped for the rest of the run.
    void setKind(const QString &kind) { m_kind = kind; }
    QString kind() const { return m_kind; }
    static bool isSkipped(const QString &kind);
    static void setSkipped(const QString &kind, bool skip);

    static QString buttonStyle(int type);

public slots:
    void on_checkBox_stateChanged(int arg1);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

    Ui::VDialog *ui;

private:
    QString m_kind;
    int m_extraButtons = 0;
    bool m_dragging = false;
    QPoint m_offset;
};
