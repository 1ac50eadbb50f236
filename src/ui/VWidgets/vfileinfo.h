#pragma once

#include <QScrollArea>

class QVBoxLayout;

// The detail list of the disk pages: name/value rows in a scroll area.
class VFileInfo : public QScrollArea
{
    Q_OBJECT
public:
    explicit VFileInfo(QWidget *parent = nullptr);

    void setInfo(const QString &name, const QString &value);
    void clearInfo();
    // The message of a refresh that failed.
    void showFailed();
    int rowCount() const;

private:
    QWidget *m_body;
    QVBoxLayout *m_layout;
};
