#pragma once

#include "VWidgets/vlistrow.h"

// One share link: check box, file name, validity, download count, section
// icon and path.
class VWodelianjie_item : public VListRow
{
    Q_OBJECT
public:
    struct Link
    {
        QString id;
        QString filename;
        QString fileext;
        bool isdir = false;
        QString validity;
        int downloads = 0;
        QString path;
    };

    VWodelianjie_item(const Link &link, QListWidgetItem *item, QWidget *parent = nullptr);

    const Link &link() const { return m_link; }

private:
    Link m_link;
};
