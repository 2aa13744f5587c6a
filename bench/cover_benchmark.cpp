#include "cover_benchmark.h"

#include <fcntl.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/tags/cover_setting.h"
#include "tag_runs.h"

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;
namespace ID3v2 = TagLib::ID3v2;

constexpr int kPerFolder = 100;
constexpr int kAudioFrames = 24;
constexpr double kRatioLimit = 3.0;

fs::path fileOf(const fs::path& root, int number) {
    return root / ("Album " + std::to_string(number / kPerFolder)) /
           (artistOf(number) + " - " + titleOf(number) + ".mp3");
}

// A 500×500 JPEG by its header, 32 KB in all: larger than any padding, so every tag grows.
std::string picture() {
    std::string bytes("\xFF\xD8\xFF\xC0\x00\x11\x08\x01\xF4\x01\xF4\x03", 12);
    bytes.append(9, '\x01');
    for (int i = 0; bytes.size() < 32 * 1024 - 2; ++i) {
        bytes.push_back(static_cast<char>((i * 37 + i / 251) % 0x7F));
    }
    return bytes + "\xFF\xD9";
}

// A title and an artist; half the files also hold an old front cover to replace.
std::string taggedMp3(int number, const std::string& oldCover) {
    ID3v2::Tag tag;
    for (const auto& [id, text] :
         {std::pair("TIT2", titleOf(number)), std::pair("TPE1", artistOf(number))}) {
        auto* frame =
            new ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);  // owned by the tag
        frame->setText(TagLib::String(text));
        tag.addFrame(frame);
    }
    if (number % 2 == 0) {
        auto* frame = new ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/jpeg");
        frame->setType(ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(TagLib::ByteVector(oldCover.data(), oldCover.size()));
        tag.addFrame(frame);
    }
    const TagLib::ByteVector rendered = tag.render(ID3v2::v3);
    return std::string(rendered.data(), rendered.size()) + mpegAudio(number, kAudioFrames);
}

bool generateTree(const fs::path& root, int files) {
    std::error_code error;
    fs::remove_all(root, error);
    const std::string oldCover = picture().substr(0, 4096);
    for (int i = 0; i < files; ++i) {
        const fs::path path = fileOf(root, i);
        if (i % kPerFolder == 0 && !fs::create_directories(path.parent_path(), error) && error) {
            return false;
        }
        if (!writeWhole(path, taggedMp3(i, oldCover))) {
            return false;
        }
    }
    return true;
}

// Empty when the file's one front cover is the picture and its audio is whole.
std::string coverFault(const fs::path& path, int number, const std::string& wanted) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid() || !file.hasID3v2Tag()) {
        return "no ID3v2 tag";
    }
    const auto frames = file.ID3v2Tag()->frameList("APIC");
    if (frames.size() != 1) {
        return std::to_string(frames.size()) + " pictures";
    }
    const TagLib::ByteVector got =
        static_cast<ID3v2::AttachedPictureFrame*>(frames.front())->picture();
    if (std::string(got.data(), got.size()) != wanted) {
        return "another picture";
    }
    const std::optional<std::string> bytes = readWhole(path);
    const std::string audio = mpegAudio(number, kAudioFrames);
    if (!bytes || !bytes->ends_with(audio)) {
        return "audio damaged";
    }
    return {};
}

// What a careful simple tool does: TagLib replaces the front cover and saves each file, then one
// syncfs makes the run durable.
int bareCoverWriter(const fs::path& root, const std::string& cover) {
    std::vector<std::string> written;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        TagLib::MPEG::File file(entry.path().c_str(), false);
        if (!file.isValid() || file.readOnly()) {
            return -1;
        }
        ID3v2::Tag& tag = *file.ID3v2Tag(true);
        tag.removeFrames("APIC");
        auto* frame = new ID3v2::AttachedPictureFrame;  // the tag owns its frames
        frame->setMimeType("image/jpeg");
        frame->setType(ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(TagLib::ByteVector(cover.data(), cover.size()));
        tag.addFrame(frame);
        if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, ID3v2::v3,
                       TagLib::File::DoNotDuplicate)) {
            return -1;
        }
        written.push_back(entry.path().string());
    }
    if (written.empty()) {
        return 0;
    }
    const int fd = ::open(written.front().c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::syncfs(fd) == 0;
    return fd >= 0 && ::close(fd) == 0 && synced ? static_cast<int>(written.size()) : -1;
}

}  // namespace

bool runCoverBenchmark(const BenchOptions& options, WriteJournal& journal, const Table& table) {
    const int files = options.quick ? 200 : 2'000;
    const fs::path pristine = options.workRoot / "cover-tree-original";
    const fs::path root = options.workRoot / "cover-tree";
    const std::string cover = picture();
    if (!generateTree(pristine, files)) {
        std::fprintf(stderr, "tunex-bench: could not generate the cover tree\n");
        return false;
    }
    const auto ours = [&journal, &root, &cover] {
        CoverSource source = CoverSource::oneImage({cover, "image/jpeg"});
        const CoverBatchResult result = setCoversUnder(journal, {root.string(), true, {}}, source);
        return writtenOrReport(result.changed, result.failed, result.wrongContent);
    };
    const auto fault = [&root, &cover, files] {
        for (int i = 0; i < files; ++i) {
            if (std::string wrong = coverFault(fileOf(root, i), i, cover); !wrong.empty()) {
                return fileOf(root, i).string() + ": " + wrong;
            }
        }
        return std::string();
    };
    const TreeRun tree{pristine, root, files};
    const Writer batch{"the cover batch", ours, fault};
    (void)timeOneRun(tree, batch);  // warm, and a finished batch in the journal to replace
    const Pair pair = timePair(tree, options.repeats, batch,
                               {"the bare writer's covers",
                                [&root, &cover] { return bareCoverWriter(root, cover); }, fault});
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove_all(pristine, ignored);
    if (interrupted()) {
        return false;
    }
    table.printRow("  bare TagLib: front cover, save, syncfs", pair.peer, files, std::nullopt,
                   std::nullopt, perFileNote(pair.peer, files));
    table.printRow("Cover batch, one 32 KB JPEG", pair.ours, files, std::nullopt, std::nullopt,
                   perFileNote(pair.ours, files));
    const bool met = printRatioTarget(table, "ratio cover batch / bare TagLib",
                                      ratioOf(pair.ours, pair.peer), kRatioLimit);
    table.printNote(
        "the same picture on every file; half replace an old front cover, every tag grows and "
        "the audio moves");
    return met;
}

}  // namespace tunex::bench
