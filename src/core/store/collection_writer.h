#pragma once

#include "core/common/atomic_file.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tunex {

// Writes one collection file: the name line, the record lines, the end marker. The file appears
// under its final name only once the end marker is on disk; a failure leaves nothing behind.
class CollectionWriter final {
public:
    explicit CollectionWriter(std::filesystem::path target) : file_(std::move(target)) {}

    [[nodiscard]] bool begin(std::string_view collectionName);
    [[nodiscard]] bool addRecordLine(std::string_view line);
    [[nodiscard]] bool finish();
    void discard() { file_.discard(); }

    [[nodiscard]] int recordCount() const { return records_; }
    [[nodiscard]] const std::filesystem::path& target() const { return file_.target(); }
    [[nodiscard]] const std::string& error() const { return file_.error(); }

private:
    AtomicFileWriter file_;
    int records_ = 0;
};

}  // namespace tunex
