#pragma once

#include <QList>
#include <QPair>
#include <QWidget>

namespace Ui {
class VAddressBar;
}
class QHBoxLayout;
class QPushButton;
class QTimer;
class QToolButton;

// The address bar of the disk pages: back, forward, the root button, one button
// per path segment, the search note and refresh. It keeps a history of
// (path, search) pairs and the position in it.
class VAddressBar : public QWidget
{
    Q_OBJECT
public:
    explicit VAddressBar(QWidget *parent = nullptr);
    ~VAddressBar() override;

    // Goes to (path, search): ignored while busy; the current pair reloads;
    // otherwise the forward history is dropped and the pair appended.
    void goTo(const QString &path, const QString &search = QString());
    QString currentPath() const;
    QString currentSearch() const;
    int historySize() const { return m_history.size(); }
    int historyIndex() const { return m_index; }
    bool isBusy() const { return m_busy; }
    // The segment buttons now shown (text and the path each goes to).
    QList<QPushButton *> segmentButtons() const { return m_segments; }
    // How long a listing may take before the bar accepts clicks again.
    void setBusyTimeout(int ms);
    QToolButton *backButton() const { return m_back; }
    QToolButton *forwardButton() const { return m_forward; }
    QPushButton *searchButton() const { return m_search; }

signals:
    void signalPathChange(const QString &path, const QString &search);

public slots:
    void on_toolButton_clicked();
    void on_toolButton_2_clicked();
    void on_toolButton_3_clicked();
    void slotAddr(QWidget *segment);
    void on_pushButton_base_clicked();
    void slotSearch(const QString &text);
    void on_pushButton_search_clicked();
    void slotWatingEnd();

private:
    void announce();
    void rebuild();
    void refreshButtons();

    Ui::VAddressBar *ui;

    QList<QPair<QString, QString>> m_history;
    int m_index = -1;
    bool m_busy = false;
    QTimer *m_busyTimer;
    QToolButton *m_back;
    QToolButton *m_forward;
    QToolButton *m_refresh;
    QPushButton *m_base;
    QPushButton *m_search;
    QWidget *m_segmentBox;
    QHBoxLayout *m_segmentLayout;
    QList<QPushButton *> m_segments;
};
