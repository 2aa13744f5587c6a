#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/common/unique_fd.h"

namespace tunex {

// The temporary file of a write to NAME is ".NAME" + kTemporaryMark + six characters from mkstemp.
// The mark is what lets a later start remove leftovers without touching the user's own ".NAME.*"
// files (backups such as ".system.ifo.backup" fit the bare mkstemp shape).
inline constexpr std::string_view kTemporaryMark = ".tunex-tmp.";

// Writes a file under a temporary name in the target's folder and renames it over the target only
// when every byte reached the disk, so readers see either the old file or the new one, never a
// mixture. Destroying an uncommitted writer removes the temporary file.
class AtomicFileWriter final {
public:
    explicit AtomicFileWriter(std::filesystem::path target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    AtomicFileWriter(AtomicFileWriter&&) = delete;
    AtomicFileWriter& operator=(AtomicFileWriter&&) = delete;

    [[nodiscard]] bool open();
    [[nodiscard]] bool write(std::string_view bytes);
    // Flushes, syncs, renames into place and syncs the folder.
    [[nodiscard]] bool commit();
    void discard();

    [[nodiscard]] const std::filesystem::path& target() const { return target_; }
    // Why the last step failed, in the system's words.
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    bool flushBuffer();
    bool fail(std::string_view what);

    std::filesystem::path target_;
    std::string tempPath_;
    std::string buffer_;
    std::string error_;
    UniqueFd fd_;
};

// The whole content in one step; false (with the reason in `error`) leaves the target untouched.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& target,
                                       std::string_view content, std::string* error = nullptr);

}  // namespace tunex
