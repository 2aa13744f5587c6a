#pragma once

#include "core/common/user_message.h"
#include "core/search/result_table.h"

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tunex {

// The address the footer of an HTML export links to.
inline constexpr std::string_view kProjectHomePage = "https://github.com/tunex-catalogue/tunex";

enum class ExportFormat { Html, Csv, Text };

// "htm" gives HTML, "csv" CSV, anything else text; the extension is compared case-sensitively.
[[nodiscard]] ExportFormat exportFormatFor(const std::filesystem::path& file);

// The save dialog of Export Result...: title, filters, default suffix; the initial folder is the
// friend folder.
inline constexpr std::string_view kExportDialogTitle = "Export As";
// Each type as its description and its pattern.
inline constexpr std::array<std::array<std::string_view, 2>, 3> kExportDialogFilters = {{
    {"HTML File (*.htm)", "*.htm"},
    {"CSV File (*.csv)", "*.csv"},
    {"Text File (*.txt)", "*.txt"},
}};
inline constexpr std::string_view kExportDefaultSuffix = "htm";

// The whole file in UTF-8: HTML with escaped cells, RFC 4180 CSV with a header row of captions
// (a cell starting with = + - @ TAB or CR is quoted behind a ', so that it is not run as a
// formula), or text with "caption:\tvalue" lines and an empty line after each row.
[[nodiscard]] std::string renderExport(ExportFormat format, std::span<const std::string> captions,
                                       std::span<const ResultRow> rows);

// Writes the file atomically, replacing an existing one; false (reason in `error`) leaves any
// earlier file as it was.
[[nodiscard]] bool writeExportFile(const std::filesystem::path& file, ExportFormat format,
                                   std::span<const std::string> captions,
                                   std::span<const ResultRow> rows, std::string* error = nullptr);

// Export needs rows, and not only the no-match placeholder; the refusal otherwise.
[[nodiscard]] std::optional<UserMessage> checkExportable(std::span<const ResultRow> rows);

struct ExportOutcome {
    bool written = false;
    UserMessage message;  // the success notice or the file error
};
// Writes `file` in the format its extension picks and returns the message to show.
[[nodiscard]] ExportOutcome exportResults(const std::filesystem::path& file,
                                          std::span<const std::string> captions,
                                          std::span<const ResultRow> rows);

}  // namespace tunex
