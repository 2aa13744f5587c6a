#include "gui/search/history_page.h"

#include "gui/app/app_context.h"

namespace tunex {

HistoryPage::HistoryPage(const AppContext& context, QWidget* parent)
    : Page(parent), rows_(context.workspace().settingsFile().readHistoryRows()) {}

}  // namespace tunex
