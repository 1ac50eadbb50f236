// Holds an account in the running-account registry the way a signed-in
// instance does, until its standard input closes or it is ended.
//   orvel_account_holder ACCOUNT
#include "context/vsharedmemory.h"
#include "platform/vplatform.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    VSharedMemory::instance()->registerAccount(QString::fromLocal8Bit(argv[1]), VPlatform::ownRegistryId());
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier in(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&in, &QSocketNotifier::activated, &app, [&] {
        char buf[64];
        if (::read(STDIN_FILENO, buf, sizeof buf) <= 0)
            app.quit();
    });
    return app.exec();
}
