#pragma once

#include "VWidgets/vdialog.h"
#include "records/m_db_file.h"

class QLabel;

// The question for a name already taken on the server: replace, keep both
// or cancel, optionally for every clashing row. One dialog answers all rows
// that ask while it is open; closing it without an answer stops them.
class VChuanshuliebiao_exists : public VDialog
{
    Q_OBJECT
public:
    explicit VChuanshuliebiao_exists(QWidget *parent = nullptr);

    // The row in front: its name, the server's message and how many wait.
    void setFile(const QString &fileName, const QString &message, int waiting);
    bool applyToAll() const;
    void setApplyToAll(bool on);
    QString text() const;
    // Closes without counting as a dismissal (nothing is left to ask).
    void closeQuietly();

signals:
    void signalUptype(M_db_file::enum_uptype uptype);
    void signalChoice(int uptype, bool toAll);
    void signalDismissed();

public slots:
    void slotReplace();
    void slotRename();
    void slotCancel();

protected:
    void done(int result) override;

private:
    void choose(int uptype);
    QLabel *m_label;
    bool m_quiet = false;
};
