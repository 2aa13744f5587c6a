#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {

// The tip shown when the tips file cannot be read.
inline constexpr const char* kFallbackTip = "You can switch between tag using the Ctrl-Tab key.";

// Steps through the tips file one line at a time, back to the first after the end marker.
class TipCycle final {
public:
    // Empty when the file cannot be opened or holds no tip; then every tip is the fallback.
    void load(const std::filesystem::path& tipsFile);
    [[nodiscard]] std::string next();
    [[nodiscard]] bool hasTips() const { return !tips_.empty(); }

private:
    std::vector<std::string> tips_;
    std::size_t position_ = 0;
};

}  // namespace tunex
