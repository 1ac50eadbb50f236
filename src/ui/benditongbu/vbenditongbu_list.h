#pragma once

#include <QWidget>

class VBenditongbu_list_item;
class VGrid;

// The synced sections: one row, the public disk.
class VBenditongbu_list : public QWidget
{
    Q_OBJECT
public:
    explicit VBenditongbu_list(QWidget *parent = nullptr);

    VGrid *grid() const { return m_grid; }
    VBenditongbu_list_item *item() const { return m_item; }

private:
    VGrid *m_grid;
    VBenditongbu_list_item *m_item;
};
