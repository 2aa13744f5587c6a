#include "tag_runs.h"

#include <taglib/mpegfile.h>

#include <fcntl.h>
#include <taglib/id3v2tag.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tunex::bench {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kAudioFrameSize = 417;

void appendV2Frame(std::string& frames, std::string_view id, const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size() + 1);
    frames.append(id);
    for (int shift = 24; shift >= 0; shift -= 8) {
        frames.push_back(static_cast<char>((size >> shift) & 0xFF));
    }
    frames.append(3, '\0');  // flags, then Latin-1
    frames.append(text);
}

}  // namespace

std::string artistOf(int number) {
    return "Singer " + std::to_string(number % 97);
}

std::string titleOf(int number) {
    return "Song number " + std::to_string(number);
}

std::string albumOf(int number) {
    return "Album " + std::to_string(number % 13);
}

std::string id3v23Tag(const std::vector<std::pair<std::string_view, std::string>>& frames,
                      std::size_t padding) {
    std::string body;
    for (const auto& [id, text] : frames) {
        appendV2Frame(body, id, text);
    }
    body.append(padding, '\0');
    std::string tag("ID3\x03\0\0", 6);
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag.push_back(static_cast<char>((size >> shift) & 0x7F));
    }
    return tag + body;
}

std::string mpegAudio(int number, int frames) {
    std::string audio;
    audio.reserve(kAudioFrameSize * static_cast<std::size_t>(frames));
    for (int frame = 0; frame < frames; ++frame) {
        const std::size_t at = audio.size();
        audio.append(kAudioFrameSize, static_cast<char>('a' + (frame + number) % 20));
        audio.replace(at, 4, "\xFF\xFB\x90\x64");
    }
    return audio;
}

std::string firstText(TagLib::ID3v2::Tag& tag, const char* id) {
    const TagLib::ID3v2::FrameList frames = tag.frameList(id);
    return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
}

std::string easyTagFramesFault(const fs::path& path, int number) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid() || !file.hasID3v2Tag()) {
        return "no ID3v2 tag";
    }
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    if (firstText(tag, "TIT2") != titleOf(number) || firstText(tag, "TPE1") != artistOf(number)) {
        return "wrong title or artist";
    }
    if (firstText(tag, "TALB") != albumOf(number) || firstText(tag, "TCOM") != "Composer") {
        return "other frames lost";
    }
    return {};
}

bool writeWhole(const fs::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written =
        ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
}

std::optional<std::string> readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// The copy is synced before the clock starts so that neither writer pays for flushing it.
std::optional<double> timeOneRun(const TreeRun& tree, const Writer& writer) {
    if (interrupted()) {
        return std::nullopt;
    }
    std::error_code error;
    fs::remove_all(tree.root, error);
    fs::copy(tree.pristine, tree.root, fs::copy_options::recursive, error);
    if (error) {
        std::fprintf(stderr, "tunex-bench: could not copy %s: %s\n", tree.pristine.c_str(),
                     error.message().c_str());
        return std::nullopt;
    }
    ::sync();
    const Clock::time_point start = Clock::now();
    const int done = writer.run();
    const double seconds = secondsSince(start);
    if (done != tree.files) {
        std::fprintf(stderr, "tunex-bench: %s wrote %d of %d files\n", writer.name.c_str(), done,
                     tree.files);
        return std::nullopt;
    }
    const std::string wrong = writer.fault();
    if (!wrong.empty()) {
        std::fprintf(stderr, "tunex-bench: after %s, %s\n", writer.name.c_str(), wrong.c_str());
        return std::nullopt;
    }
    return seconds;
}

Pair timePair(const TreeRun& tree, int repeats, const Writer& ours, const Writer& peer) {
    Pair best;
    bool oursFailed = false;
    bool peerFailed = false;
    for (int i = 0; i < std::max(repeats, 1); ++i) {
        keepBest(best.ours, oursFailed, timeOneRun(tree, ours));
        keepBest(best.peer, peerFailed, timeOneRun(tree, peer));
    }
    return best;
}

int writtenOrReport(int written, const WriteFailures& failed, const WriteFailures& wrongContent) {
    for (const auto& [what, failures] :
         {std::pair{"could not be written", &failed},
          std::pair{"were taken for other content", &wrongContent}}) {
        if (failures->count > 0) {
            std::fprintf(stderr, "tunex-bench: %d files %s, first %s\n", failures->count, what,
                         failures->firstPaths.front().c_str());
        }
    }
    return failed.count == 0 && wrongContent.count == 0 ? written : -1;
}

std::string perFileNote(std::optional<double> seconds, int files) {
    if (!seconds || files == 0) {
        return "FAILED";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.1f us a file", *seconds * 1e6 / files);
    return text;
}

bool printRatioTarget(const Table& table, std::string_view what, std::optional<double> ratio,
                      double limit) {
    const bool met = ratio && *ratio <= limit;
    char note[64];
    std::snprintf(note, sizeof note, "target <= %g: %s", limit, met ? "PASS" : "FAIL");
    table.printRatio(what, ratio, note);
    return met;
}

}  // namespace tunex::bench
