#include <QCoreApplication>
#include <QTextStream>
#include <cstring>

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QTextStream(stdout) << "OrvelNetdisk " << ORVEL_VERSION << '\n';
            return 0;
        }
    }
    QCoreApplication app(argc, argv);
    return 0;
}
