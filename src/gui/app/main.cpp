#include "gui/app/startup.h"
#include "gui/app/termination_watch.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>

#include <filesystem>
#include <system_error>

int main(int argc, char* argv[]) {
    // Before any thread starts, so that every thread inherits the blocked signals.
    tunex::TerminationWatch::blockTerminationSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunex"));
    QApplication::setOrganizationName(QStringLiteral("Tunex"));
    QApplication::setApplicationVersion(QStringLiteral("2.3"));
    tunex::QtPlatform platform;
    // The base folder is the folder the program was started in.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::current_path(error);
    return tunex::runTunex(platform, base);
}
