#include "context/orvelcore.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "utils/vutils.h"
#include "Api/api.h"
#include "login/vlogin.h"
#include "main/vmain.h"
#include "main/vrestart.h"
#include "transfer/vtransferthrottle.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>
#include <cstring>

namespace {

// Steps 3 to 7 of start-up: crypto script, log file, addresses, edition,
// style sheet. Missing resources are skipped without a message.
void startUp(const QStringList &arguments)
{
    loadCryptoScript();

    const QString log = VUtils::dataDir() + QStringLiteral("/log.txt");
    if (QFile::exists(log))
        QFile::remove(log);

    VGlobalParameter::instance()->setIsRlease(true);
    // A deployment (or the local stand-in service) named without recompiling.
    const QString root = VGlobalParameter::serverRootOverride(arguments);
    if (!root.isEmpty())
        VGlobalParameter::instance()->setServerRoot(root);
    VGlobalParameter::instance()->setPreviewRoot(qEnvironmentVariable("ORVEL_PREVIEW_ROOT"));

    VConfigs::instance()->setEdition(0);
    // The speed limits follow the settings from here on, for every transfer.
    VTransferThrottle::followConfig();

    QFile qss(QStringLiteral(":/qss/default.qss"));
    if (qss.open(QIODevice::ReadOnly)) {
        QByteArray bytes = qss.readAll();
        const int zero = bytes.indexOf('\0');
        if (zero >= 0)
            bytes.truncate(zero);
        qApp->setStyleSheet(QString::fromLatin1(bytes));
    }
}

// Steps 8 and 9: the login dialog, and the main window after a sign-in.
// Returns the process exit code.
int runSession(QApplication &app)
{
    // A lost sign-in restarts into the login dialog with the same server.
    Api::instance()->setRestartHandler([](const QString &) {
        static bool started = false;
        if (started)
            return;
        started = true;
        VRestart::start();
        QCoreApplication::quit();
    });
    auto *login = new VLogin;
    const int result = login->exec();
    delete login;
    if (result != QDialog::Accepted)
        return 0;
    auto *window = new VMain;
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QTextStream(stdout) << "OrvelNetdisk " << ORVEL_VERSION << '\n';
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            QTextStream(stdout)
                << "Usage: OrvelNetdisk [--server URL]\n"
                   "Desktop client for the school cloud disk.\n\n"
                   "  --server URL   use the deployment whose server root is URL\n"
                   "                 (also ORVEL_SERVER_ROOT); the built-in addresses otherwise\n"
                   "  --version      print the version and exit\n"
                   "  --help         print this help and exit\n\n"
                   "Environment: ORVEL_SERVER_ROOT, ORVEL_PREVIEW_ROOT (another preview service),\n"
                   "ORVEL_CA_BUNDLE (extra CA certificates),\n"
                   "ORVEL_INSECURE_TLS=1 (accept any certificate; test installations only),\n"
                   "ORVEL_SHM_KEY (a separate registry of signed-in accounts).\n";
            return 0;
        }
    }
    // Both attributes only take effect when set before the application object
    // exists (Qt ignores them, with a warning, afterwards).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL, true);
    QApplication app(argc, argv);
    initOrvelCore();
    startUp(app.arguments());
    return runSession(app);
}
