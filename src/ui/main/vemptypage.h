#pragma once

#include "main/vpage.h"

// The page shown for a menu entry whose view is not part of this build: the
// entry's icon and name and a short note.
class VEmptyPage : public VPage
{
    Q_OBJECT
public:
    explicit VEmptyPage(int menuValue, QWidget *parent = nullptr);

    int menuValue() const { return m_value; }
    int reloadCount() const { return m_reloads; }
    void reload() override { ++m_reloads; }
    void openPath(const QString &path) override { m_path = path.isEmpty() ? QStringLiteral("/") : path; }
    QString currentPath() const override { return m_path; }

private:
    int m_value;
    int m_reloads = 0;
    QString m_path = QStringLiteral("/");
};
