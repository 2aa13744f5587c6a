#pragma once

namespace tunex {

class AppContext;
struct ResultTable;

// Export Result... of a page with a result list: refuses an empty list, asks for the file in the
// friend folder and writes the list as shown, telling the user how it went.
void exportResultTable(const ResultTable& table, AppContext& context);

}  // namespace tunex
