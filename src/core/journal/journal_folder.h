#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The layout of the write journal's folder: one folder a batch, and in it one file a group
// (journal_group.h), each named by a sequence number.
namespace tunex::journal {

inline constexpr std::string_view kBatchPrefix = "batch-";
inline constexpr std::string_view kGroupPrefix = "group-";
// A batch whose groups were dropped past the journal's cap: it cannot be undone.
inline constexpr std::string_view kPartialMark = "partial";
// Left in a batch while undo restores it, so that the next open finishes an undo cut short.
inline constexpr std::string_view kUndoingMark = "undoing";

// `prefix` and `number` with at least `width` digits.
[[nodiscard]] std::string numbered(std::string_view prefix, std::uint64_t number, int width);
// The sequence number of a "batch-N" or "group-N" name; nothing for any other name.
[[nodiscard]] std::optional<std::uint64_t> numberOf(std::string_view name, std::string_view prefix);
// The entries of `folder` named prefix + number, in number order.
[[nodiscard]] std::vector<std::filesystem::path> numberedEntries(
    const std::filesystem::path& folder, std::string_view prefix);

}  // namespace tunex::journal
