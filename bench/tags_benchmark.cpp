#include "tags_benchmark.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <system_error>

#include "core/collections/file_type_list.h"
#include "core/common/write_journal.h"
#include "core/tags/easy_tag.h"
#include "core/tags/id3_tags.h"
#include "core/tags/tag_clearing.h"
#include "core/tags/tag_walk.h"

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr int kPerFolder = 100;
constexpr std::string_view kSettingsTypes = "mp3;mp2;wmv;wma;dat;";

bool writeWhole(const fs::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written =
        ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
}

void appendV2Frame(std::string& frames, std::string_view id, const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size() + 1);
    frames.append(id);
    for (int shift = 24; shift >= 0; shift -= 8) {
        frames.push_back(static_cast<char>((size >> shift) & 0xFF));
    }
    frames.append(3, '\0');  // flags, then Latin-1
    frames.append(text);
}

// An ID3v2.3 tag (title, artist, album, composer), 24 MPEG frames and an ID3v1 tag. Every other
// file has padding the new tag fits into; the rest make the writer copy the file.
std::string taggedMp3(int number) {
    std::string frames;
    appendV2Frame(frames, "TIT2", "Old title " + std::to_string(number));
    appendV2Frame(frames, "TPE1", "Old artist");
    appendV2Frame(frames, "TALB", "Album " + std::to_string(number % 13));
    appendV2Frame(frames, "TCOM", "Composer");
    frames.append(number % 2 == 0 ? 128 : 0, '\0');
    std::string file("ID3\x03\0\0", 6);
    const auto size = static_cast<std::uint32_t>(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7) {
        file.push_back(static_cast<char>((size >> shift) & 0x7F));
    }
    file += frames;
    for (int frame = 0; frame < 24; ++frame) {
        std::string audio(417, static_cast<char>('a' + frame % 20));
        audio[0] = '\xFF';
        audio[1] = '\xFB';
        audio[2] = '\x90';
        audio[3] = '\x64';
        file += audio;
    }
    std::string v1 = "TAG" + std::string(125, '\0');
    v1.replace(3, 9, "Old title");
    v1[127] = 17;
    return file + v1;
}

bool generateTree(const fs::path& root, int files) {
    std::error_code error;
    fs::remove_all(root, error);
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("Album " + std::to_string(i / kPerFolder));
        if (i % kPerFolder == 0 && !fs::create_directories(folder, error) && error) {
            return false;
        }
        const std::string name =
            "Singer " + std::to_string(i % 97) + " - Song number " + std::to_string(i) + ".mp3";
        if (!writeWhole(folder / name, taggedMp3(i))) {
            return false;
        }
    }
    return true;
}

// Reading what the Local page shows for every file of the tree, in the same walk order.
std::optional<double> timeRead(const fs::path& root, int files, int repeats) {
    return bestOf(repeats, [&]() -> std::optional<double> {
        int read = 0;
        const Clock::time_point start = Clock::now();
        (void)walkFolderFiles(root.string(), true, [&read](const WalkedFile& file) {
            if (isMp3Name(file.name) && readId3Summary(file.path).title) {
                ++read;
            }
            return WalkStep::Continue;
        });
        const double seconds = secondsSince(start);
        if (read != files) {
            std::fprintf(stderr, "tunex-bench: read %d tags, not %d\n", read, files);
            return std::nullopt;
        }
        return seconds;
    });
}

// Each run starts from a freshly generated tree, so every run really rewrites every tag.
std::optional<double> timeWrite(const fs::path& root, int files, int repeats,
                                const std::function<int()>& run) {
    return bestOf(repeats, [&]() -> std::optional<double> {
        if (!generateTree(root, files)) {
            std::fprintf(stderr, "tunex-bench: could not generate the mp3 tree\n");
            return std::nullopt;
        }
        ::sync();
        const Clock::time_point start = Clock::now();
        const int done = run();
        const double seconds = secondsSince(start);
        if (done != files) {
            std::fprintf(stderr, "tunex-bench: %d of %d files written\n", done, files);
            return std::nullopt;
        }
        return seconds;
    });
}

std::string perFileNote(std::optional<double> seconds, int files) {
    if (!seconds || files == 0) {
        return "FAILED";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.1f us a file", *seconds * 1e6 / files);
    return text;
}

std::optional<double> ratioOf(std::optional<double> a, std::optional<double> b) {
    if (!a || !b || *b <= 0) {
        return std::nullopt;
    }
    return *a / *b;
}

}  // namespace

bool runTagsBenchmark(const BenchOptions& options) {
    const int files = options.quick ? 500 : 5'000;
    const fs::path root = options.workRoot / "tag-tree";
    std::printf(
        "\n== tags: EasyTag and Clear All Tag on %d tagged mp3 files in %d folders, beside "
        "reading the same tags (best of %d)\n",
        files, files / kPerFolder, options.repeats);
    const Table table;
    table.printHeader();
    if (!generateTree(root, files)) {
        std::fprintf(stderr, "tunex-bench: could not generate the mp3 tree\n");
        return false;
    }
    (void)timeRead(root, files, 1);  // warm the caches once
    const std::optional<double> read = timeRead(root, files, options.repeats);
    const auto journal = WriteJournal::open(options.workRoot / "journal");
    const std::optional<double> easyTag = timeWrite(root, files, options.repeats, [&] {
        const EasyTagResult result =
            runEasyTag(*journal, root.string(), NameFormat(), true, kSettingsTypes);
        return result.failed.count == 0 ? result.written : -1;
    });
    const std::optional<double> clear = timeWrite(root, files, options.repeats, [&] {
        const ClearAllResult result =
            clearAllTagsUnder(*journal, root.string(), FileTypeList(), true);
        return result.failed.count == 0 ? result.counted : -1;
    });
    std::error_code ignored;
    fs::remove_all(root, ignored);
    if (interrupted()) {
        return false;
    }
    table.printRow("  read tag summaries", read, files, std::nullopt, std::nullopt,
                   perFileNote(read, files));
    table.printRow("EasyTag, V2 from names", easyTag, files, std::nullopt, std::nullopt,
                   perFileNote(easyTag, files));
    table.printRow("Clear All Tag", clear, files, std::nullopt, std::nullopt,
                   perFileNote(clear, files));
    table.printRatio("ratio EasyTag / read", ratioOf(easyTag, read), "reference");
    table.printRatio("ratio Clear All Tag / read", ratioOf(clear, read), "reference");
    table.printNote(
        "half the files have padding for the new tag; the rest are copied and "
        "renamed over, as every write that moves audio is");
    return read && easyTag && clear;
}

}  // namespace tunex::bench
