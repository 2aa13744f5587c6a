#pragma once

#include <array>

namespace tunex {

// The main sheet's tabs, in their order.
enum class PageId { Songs, Files, History, Database, Local, FileType, Friend, Setting, Tips };

inline constexpr int kPageCount = 9;

[[nodiscard]] constexpr int tabIndex(PageId page) {
    return static_cast<int>(page);
}

// The page a stored start-page number names: 1 Songs to 7 Friend, 8 Tips; the Setting tab has
// no number, and an unknown number gives Songs.
[[nodiscard]] constexpr PageId pageOfNumber(int number) {
    constexpr std::array kNumbered = {PageId::Songs,    PageId::Files, PageId::History,
                                      PageId::Database, PageId::Local, PageId::FileType,
                                      PageId::Friend,   PageId::Tips};
    return number >= 1 && number <= 8 ? kNumbered[number - 1] : PageId::Songs;
}

}  // namespace tunex
