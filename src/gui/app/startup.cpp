#include "gui/app/startup.h"

#include "gui/app/app_context.h"
#include "gui/app/main_sheet.h"
#include "gui/app/termination_watch.h"

#include <QApplication>

namespace tunex {

int runTunex(Platform& platform, const std::filesystem::path& baseFolder) {
    UserMessage failure;
    std::unique_ptr<Workspace> workspace = Workspace::open(baseFolder, failure);
    if (!workspace) {
        platform.tell(failure);
        return 1;
    }
    AppContext context(platform, std::move(workspace));
    MainSheet sheet(context);
    // Closing writes the settings; quitting also ends the loop of any message box still open.
    const TerminationWatch watch([&sheet] {
        sheet.close();
        QCoreApplication::quit();
    });
    // Without its catalogue the program cannot go on; the user has been told why.
    QObject::connect(&context, &AppContext::catalogueLoadFailed, &context,
                     [] { QCoreApplication::exit(1); });
    sheet.start();
    // Collection files the settings did not list were taken back when the workspace opened.
    if (const auto& takenBack = context.workspace().takenBackMessage()) {
        platform.tell(*takenBack);
    }
    if (const auto& cut = context.workspace().cutLinesMessage()) {
        platform.tell(*cut);
    }
    // Files an interrupted tag write had changed were put back when the journal opened.
    if (const auto restored = rollbackMessage(context.workspace().journal().rollback())) {
        platform.tell(*restored);
    }
    return QApplication::exec();
}

}  // namespace tunex
