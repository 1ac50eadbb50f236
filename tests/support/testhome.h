#pragma once
// TestHome: a temporary HOME for one test.
//
// Creates a fresh temporary folder and points HOME, XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR into it, so that
// QStandardPaths (and so the client's data directory) resolve inside it. The
// previous values come back, and the folder is removed, when the object is
// destroyed. Create it before anything reads QStandardPaths, typically as a
// member of the test class or at the top of initTestCase():
//
//     class TstSomething : public QObject {
//         TestHome home;             // isolated HOME for the whole test
//         ...
//     };
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

class TestHome
{
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/.config"); }

private:
    QTemporaryDir m_dir;
    QMap<QByteArray, QByteArray> m_saved;
    QMap<QByteArray, bool> m_wasSet;
};
