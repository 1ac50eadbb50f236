#pragma once

#include <QList>
#include <QWidget>

#include "records/m_db_synhistory.h"

class QLabel;
class QToolButton;

// One backed-up file of the history, with open-file and open-folder buttons.
class VBendibeifen_log_done_item : public QWidget
{
    Q_OBJECT
public:
    explicit VBendibeifen_log_done_item(const M_db_synhistory &h, QWidget *parent = nullptr);

    M_db_synhistory history() const { return m_h; }
    QToolButton *fileButton() const { return toolButton_file; }
    QToolButton *folderButton() const { return toolButton_folder; }

public slots:
    void slotResize(QList<int> widths);
    void on_toolButton_file_clicked();
    void on_toolButton_folder_clicked();

private:
    M_db_synhistory m_h;
    QList<QWidget *> m_cells;
    QToolButton *toolButton_file;
    QToolButton *toolButton_folder;
};
