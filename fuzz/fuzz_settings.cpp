// The settings file as the program reads it at start-up: settings, then history rows.
#include "core/store/settings.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tunex;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Settings settings;
    readSettings(text, settings);
    const std::vector<HistoryRow> rows = readHistoryRows(text);

    // What was read must survive being stored and read again, or a save would change settings.
    const std::string stored = renderSettingsFile(settings, rows);
    Settings again;
    readSettings(stored, again);
    TUNEX_FUZZ_CHECK(again == settings);
    TUNEX_FUZZ_CHECK(readHistoryRows(stored).size() == rows.size());

    for (const HistoryRow& row : rows) {
        (void)splitHistoryRow(joinHistoryRow(row));
    }
    (void)isListedFileType(text.substr(0, 64), settings.fileTypes);
    return 0;
}
