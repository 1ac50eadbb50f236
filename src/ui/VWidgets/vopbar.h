#pragma once

#include <QWidget>

namespace Ui {
class VOpBar;
}
class QToolButton;
class QMenu;

// The toolbar of the disk pages. Operation numbers: upload 0, create 1,
// share 2, download 3, rename 4, delete 5, copy 6, move 7.
class VOpBar : public QWidget
{
    Q_OBJECT
public:
    explicit VOpBar(QWidget *parent = nullptr);
    ~VOpBar() override;

    QToolButton *button(int op) const;
    void setEnabled(int op, bool enabled);
    void enableAll();
    // Shows only the operations given (in the fixed order); all by default.
    void configure(const QList<int> &ops);
    // The folder's permission code: "0"/"1" text read from the right as a bit
    // mask. Each configured button is enabled when its right is granted.
    void applyPermission(const QString &code);
    static int permissionBit(int op);
    static bool hasRight(const QString &code, int bit);

    QMenu *uploadMenu() const { return m_uploadMenu; }
    QMenu *createMenu() const { return m_createMenu; }

signals:
    void signalOp(int op);
    // Menu entries: 0 files, 1 folder (upload); 0 folder, 1 from template (create).
    void signalUpload(int kind);
    void signalCreate(int kind);

public slots:
    void on_toolButton_up_clicked();

private:
    Ui::VOpBar *ui;
    QList<QToolButton *> m_buttons;
    QList<int> m_configured;
    QMenu *m_uploadMenu;
    QMenu *m_createMenu;
};
