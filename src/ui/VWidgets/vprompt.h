#pragma once

#include "VWidgets/vdialog.h"

#include <QJsonObject>
#include <QStringList>

namespace Ui {
class VPromptForm;
}
class QLabel;
class QLineEdit;

// A short question or message in the standard dialog frame. The type selects
// the use: -1 a message with OK, 1 create a folder (the line edit takes the
// name), 5 confirm a deletion. Types 1 and 5 hand the request to whoever
// connects to signalConfirmed and report back through setBusy/showMessage.
class VPrompt : public VDialog
{
    Q_OBJECT
public:
    explicit VPrompt(QWidget *parent = nullptr);
    ~VPrompt() override;

    void setType(int type);
    int type() const { return m_type; }
    void setText(const QString &text);
    // Word-wrapped within maxWidth pixels.
    void setText(const QString &text, int maxWidth);
    void setPaths(const QStringList &paths) { m_paths = paths; }
    QStringList paths() const { return m_paths; }
    QString inputText() const;
    QLabel *label() const { return m_label; }
    QLineEdit *lineEdit() const { return m_lineEdit; }
    // Centres the prompt on the point the main window keeps in VGlobalParameter
    // (or on its parent when none is known yet).
    void centre();
    // Why a folder name cannot be used (a character no file system takes, or
    // "." / ".."); empty when it can.
    static QString nameError(const QString &name);

signals:
    // Types 1 and 5: the user confirmed (with the folder name for type 1).
    void signalConfirmed(int type, const QString &text, const QStringList &paths);

public slots:
    void slotClicked();
    void slotGetWpResult(const QJsonObject &reply);
    void on_lineEdit_textChanged(const QString &arg1);

private:
    Ui::VPromptForm *form;
    int m_type = -1;
    bool m_busy = false;
    QStringList m_paths;
    QLabel *m_label;
    QLineEdit *m_lineEdit;
};
