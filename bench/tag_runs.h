#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "core/tags/easy_tag.h"

namespace TagLib::ID3v2 {
class Tag;
}

// What the tags benchmarks share: the bytes of generated mp3 files, and writers timed in turns
// on fresh copies of a tree.

namespace tunex::bench {

// The settings' file types EasyTag steps its progress for.
inline constexpr std::string_view kSettingsTypes = "mp3;mp2;wmv;wma;dat;";

// The names and tags of generated file `number`.
[[nodiscard]] std::string artistOf(int number);
[[nodiscard]] std::string titleOf(int number);
[[nodiscard]] std::string albumOf(int number);

// An ID3v2.3 tag of Latin-1 text frames (id, text), then `padding` zero bytes.
[[nodiscard]] std::string id3v23Tag(
    const std::vector<std::pair<std::string_view, std::string>>& frames, std::size_t padding);

// `frames` MPEG frames of 417 bytes; each file's differ, so audio that lands in the wrong place
// shows.
[[nodiscard]] std::string mpegAudio(int number, int frames);

// The text of the tag's first frame with that id; empty when there is none.
[[nodiscard]] std::string firstText(TagLib::ID3v2::Tag& tag, const char* id);

// Empty when the ID3v2 tag of generated mp3 file `number` holds what EasyTag makes of its name
// and the frames EasyTag must keep; else what is wrong.
[[nodiscard]] std::string easyTagFramesFault(const std::filesystem::path& path, int number);

[[nodiscard]] bool writeWhole(const std::filesystem::path& path, std::string_view bytes);
[[nodiscard]] std::optional<std::string> readWhole(const std::filesystem::path& path);

// The writers take turns on a tree that is copied afresh from `pristine` for every run.
struct TreeRun {
    std::filesystem::path pristine;
    std::filesystem::path root;
    int files = 0;
};

struct Writer {
    std::string name;
    std::function<int()> run;  // files written; -1 when one could not be
    // Empty when the tree holds what the writer should have made of it; else the first fault,
    // with its path.
    std::function<std::string()> fault;
};

struct Pair {
    std::optional<double> ours;
    std::optional<double> peer;
};

// One run of a writer on a fresh copy of the tree, checked afterwards; empty when it failed.
[[nodiscard]] std::optional<double> timeOneRun(const TreeRun& tree, const Writer& writer);

// The two writers take turns, so a change in the machine's load falls on both. The best run of
// each counts; any failed run fails that writer.
[[nodiscard]] Pair timePair(const TreeRun& tree, int repeats, const Writer& ours,
                            const Writer& peer);

// Files written, or -1 after saying which were not.
[[nodiscard]] int writtenOrReport(int written, const WriteFailures& failed,
                                  const WriteFailures& wrongContent);

[[nodiscard]] std::string perFileNote(std::optional<double> seconds, int files);

// Prints the ratio with "target <= limit: PASS" or FAIL; whether it was met.
bool printRatioTarget(const Table& table, std::string_view what, std::optional<double> ratio,
                      double limit);

}  // namespace tunex::bench
