// Tag writes run through tunex-cli, checked with an independent reader: a write changes only what
// it was asked to change, a failed write leaves no trace, the file stays the same file, and files
// that hold no MPEG audio are never written.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>

#include "core/tags/tag_test_support.h"
#include "support/base_folder.h"
#include "support/run_program.h"

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::independentView;
using test::readFile;
using test::v2Tag;
using test::v2Text;

const fs::path kCli = TUNEX_CLI_PATH;

// What mutagen reads of the ID3v2 tag, in file order: the raw frame ids, then each frame with
// its encoding and value. Nothing is sorted, so a reordered tag shows. `skip` leaves out one id.
std::vector<std::string> framesInOrder(const std::string& view, const std::string& skip = {}) {
    std::vector<std::string> out;
    for (const std::string& line : test::lines(view)) {
        if (line.rfind("raw=", 0) == 0) {
            std::string ids = line.substr(4) + ",";
            for (size_t at = 0, comma = 0; (comma = ids.find(',', at)) != std::string::npos;
                 at = comma + 1) {
                if (ids.substr(at, comma - at) != skip) {
                    out.push_back("raw " + ids.substr(at, comma - at));
                }
            }
        } else if (line.size() > 5 && line[4] == ' ' && line.rfind(skip + " ", 0) != 0) {
            out.push_back(line);
        }
    }
    return out;
}

// The value of a frame line ("TALB enc=0 X" gives "X"), whatever its encoding.
std::string frameValue(const std::string& view, const std::string& id) {
    const std::string line = test::viewLine(view, id + " ");
    const size_t value = line.find(' ', id.size() + 1);
    return value == std::string::npos ? std::string() : line.substr(value + 1);
}

std::string little(std::uint64_t n, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i, n >>= 8) {
        out += static_cast<char>(n & 0xFF);
    }
    return out;
}

// A WAVE file as recorders write it: fmt, an "id3 " chunk holding a tag, then 16-bit PCM.
std::string waveFile() {
    std::string pcm;
    for (std::uint32_t i = 0; i < 800; ++i) {
        pcm += little((i * 37) % 2000, 2);
    }
    const std::string id3 = v2Tag(3, v2Text(3, "TIT2", "Take"));
    const std::string body = "WAVEfmt " + little(16, 4) + little(1, 2) + little(1, 2) +
                             little(8000, 4) + little(16000, 4) + little(2, 2) + little(16, 2) +
                             "id3 " + little(id3.size(), 4) + id3 + "data" + little(pcm.size(), 4) +
                             pcm;
    return "RIFF" + little(body.size(), 4) + body;
}

std::uint32_t oggCrc(std::string_view page) {
    std::uint32_t crc = 0;
    for (const unsigned char c : page) {
        crc ^= std::uint32_t{c} << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000U) != 0 ? (crc << 1) ^ 0x04C11DB7U : crc << 1;
        }
    }
    return crc;
}

// The first page of an Ogg stream carrying `packet` (under 255 bytes).
std::string oggPage(const std::string& packet) {
    std::string page = "OggS" + std::string(1, '\0') + "\x02" + std::string(8, '\0') +
                       little(0x7475, 4) + little(0, 8) + "\x01" + little(packet.size(), 1) +
                       packet;
    return page.replace(22, 4, little(oggCrc(page), 4));
}

std::string mp4Box(const std::string& type, const std::string& body) {
    return test::bigEndian(8 + body.size()) + type + body;
}

struct Foreign {
    std::string name;
    std::string bytes;
};

// Audio of other kinds, named by their usual extension.
std::vector<Foreign> otherAudio() {
    // STREAMINFO: 4096-sample blocks, frame sizes unknown, 44.1 kHz, 2 channels, 16 bits.
    const std::string flacInfo = "\x10" + std::string(1, '\0') + "\x10" + std::string(7, '\0') +
                                 "\x0A\xC4\x42\xF0" + std::string(20, '\0');
    const std::string vorbis = "\x01vorbis" + little(0, 4) + "\x02" + little(44100, 4) +
                               little(0, 4) + little(128000, 4) + little(0, 4) + "\xB8\x01";
    const std::string opus = "OpusHead\x01\x02" + little(312, 2) + little(48000, 4) + little(0, 3);
    return {{"flac", "fLaC\x80" + test::bigEndian(34).substr(1) + flacInfo + "\xFF\xF8\x69\x08" +
                         std::string(60, '\x11')},
            {"ogg", oggPage(vorbis)},
            {"opus", oggPage(opus)},
            {"m4a", mp4Box("ftyp", "M4A " + little(0, 4) + "M4A isom") + mp4Box("moov", "") +
                        mp4Box("mdat", std::string(16, '!'))}};
}

// Runs `run` with writes past `bytes` failing with EFBIG in the programs it starts (a full disk).
template <class Run>
test::ProgramResult withFileSizeLimit(rlim_t bytes, Run run) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lowered{bytes, old.rlim_max};  // a lowered hard limit could not be raised again
    const sighandler_t oldAction = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    test::ProgramResult result = run();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldAction);
    return result;
}

// Byte for byte as given; a failure says where it starts rather than printing the file.
::testing::AssertionResult unchanged(const fs::path& file, const std::string& bytes) {
    const std::string now = readFile(file);
    if (now == bytes) {
        return ::testing::AssertionSuccess();
    }
    const auto diff = std::mismatch(now.begin(), now.end(), bytes.begin(), bytes.end());
    return ::testing::AssertionFailure()
           << file.filename() << " changed: " << now.size() << " bytes (were " << bytes.size()
           << "), first difference at " << (diff.first - now.begin());
}

std::set<std::string> namesUnder(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        names.insert(fs::relative(entry.path(), folder).string());
    }
    return names;
}

struct stat statOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

class TagWriteSafety : public ::testing::Test {
protected:
    // `tags` runs without a base folder, keeping its state under XDG_STATE_HOME; the others in one.
    test::ProgramResult run(std::vector<std::string> words) {
        if (words[0] != "tags") {
            words.insert(words.begin(), {"--base", base_.path().string()});
        }
        return test::runProgram(kCli, words, {"XDG_STATE_HOME=" + state_.path().string()});
    }
    fs::path put(const std::string& relative, const std::string& bytes) {
        const fs::path path = dir_ / relative;
        fs::create_directories(path.parent_path());
        test::writeFile(path, bytes);
        return path;
    }

    test::TempDir dir_;
    test::TempDir state_;
    test::BaseFolder base_{"<ts>0\n<tf>0\n<md>100\n<ft>mp3;mp2;wmv;wma;dat;\n@*EOF\n"};
    const std::string audio_ = test::mpegAudio(4);
    // The shape of mutagen's silence-44-s.mp3: one TPE1 frame holding two artists, and V1 too.
    const std::string silence_ =
        v2Tag(3,
              v2Text(3, "TCON", "Silence") + v2Text(3, "TLEN", "3000") +
                  v2Text(3, "TALB", "Quod Libet Test Data") +
                  v2Text(3, "TPE1", std::string("piman\0jzig", 10)) + v2Text(3, "TIT2", "Silence") +
                  v2Text(3, "TRCK", "02/10") + v2Text(3, "TIT1", "Silence") +
                  v2Text(3, "TYER", "2004"),
              64) +
        audio_ + test::v1Tag("Silence", "piman", "Quod Libet Test Data", "2004", "", 2, 255);
};

TEST_F(TagWriteSafety, AWriteChangesOnlyTheFramesOfTheFieldsItChanges) {
    const std::string comment = "\x03" + std::string("eng\0one\0two", 11);  // UTF-8, two values
    const std::string twoValueComment = v2Tag(
        4, v2Text(4, "TIT2", "t") + test::v2Frame(4, "COMM", comment) + v2Text(4, "TPE1", "a"));
    const std::string zeroYear =
        v2Tag(4, v2Text(4, "TIT2", "t") + v2Text(4, "TDRC", "0000") + v2Text(4, "TPE1", "a"));
    struct Case {
        std::string name;
        std::string bytes;
        std::string key;
        std::string changedId;  // the one V2 frame that may differ; empty: none
        std::string v1After;    // the V1 line expected; empty: not checked
    };
    const std::vector<Case> cases = {
        {"album of two artists", silence_, "v2.album=X", "TALB",
         "v1=Silence|piman|Quod Libet Test Data|2004||2|255"},
        {"V1 only", silence_, "v1.artist=Someone", "",
         "v1=Silence|Someone|Quod Libet Test Data|2004||2|255"},
        {"two-value comment", twoValueComment + audio_, "v2.title=New", "TIT2", ""},
        {"year 0000", zeroYear + audio_, "v2.title=New", "TIT2", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = put(c.name + ".mp3", c.bytes);
        const std::string before = independentView(file);
        const auto set = run({"tags", "set", file.string(), c.key});
        EXPECT_EQ(set.exitCode, 0) << set.err;
        const std::string after = independentView(file);
        EXPECT_EQ(framesInOrder(after, c.changedId), framesInOrder(before, c.changedId));
        if (!c.changedId.empty()) {
            EXPECT_EQ(frameValue(after, c.changedId), c.key.substr(c.key.find('=') + 1)) << after;
        }
        if (!c.v1After.empty()) {
            EXPECT_EQ(test::viewLine(after, "v1="), c.v1After);
        }
        EXPECT_EQ(test::viewLine(after, "body="), test::viewLine(before, "body="));
    }
}

// Exit 3 must mean the file is as it was: a write that fails part way is taken back.
TEST_F(TagWriteSafety, AFailedWriteLeavesTheFileByteForByte) {
    const std::string frames = v2Text(3, "TIT2", "t") + v2Text(3, "TPE1", "a");
    struct Case {
        std::string name;
        std::string bytes;
        std::string key;
    };
    const std::vector<Case> cases = {
        // The tag fits its padding, but the V1 tag cannot be appended.
        {"fits", v2Tag(3, frames, 512) + audio_, "v2.title=Longer"},
        {"grows", v2Tag(3, frames) + audio_, "v2.title=" + std::string(200, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = put("full/" + c.name + ".mp3", c.bytes);
        const auto names = namesUnder(file.parent_path());
        const auto set = withFileSizeLimit(c.bytes.size(), [&] {
            return run({"tags", "set", file.string(), c.key});
        });
        EXPECT_EQ(set.exitCode, 3) << set.err;
        EXPECT_NE(set.err.find("could not be written"), std::string::npos) << set.err;
        // Growing, the whole file goes into the journal first, which the limit cuts short.
        EXPECT_EQ(set.err.find("is out of space") != std::string::npos, c.name == "grows")
            << set.err;
        EXPECT_TRUE(unchanged(file, c.bytes));
        EXPECT_EQ(namesUnder(file.parent_path()), names);
    }
}

TEST_F(TagWriteSafety, AReadOnlyFileIsNotWritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    const std::string bytes = v2Tag(3, v2Text(3, "TIT2", "t"), 512) + audio_;
    const fs::path file = put("ro/song.mp3", bytes);
    fs::permissions(file, fs::perms(0444));
    for (const std::string key : {"v2.title=Longer", "v1.title=x"}) {
        const auto set = run({"tags", "set", file.string(), key});
        EXPECT_EQ(set.exitCode, 3) << key << ": " << set.err;
        EXPECT_TRUE(unchanged(file, bytes)) << key;
    }
    EXPECT_EQ(run({"tags", "clear", file.string()}).exitCode, 3);
    EXPECT_TRUE(unchanged(file, bytes));
}

// Written in place: the same inode, so hard links, permissions and extended attributes stay,
// and no file appears beside it.
TEST_F(TagWriteSafety, AWrittenFileStaysTheSameFile) {
    const std::string frames = v2Text(3, "TIT2", "t") + v2Text(3, "TPE1", "a");
    const std::string v1 = test::v1Tag("t", "a", "", "", "", 0, 255);
    struct Case {
        std::string name;
        std::string bytes;
        std::vector<std::string> command;  // "F" stands for the file, "D" for its folder
        std::string expected;              // a line of the view afterwards
    };
    const std::string x(200, 'x');  // more than the tag holds: the audio moves
    const std::vector<Case> cases = {
        {"grows",
         v2Tag(3, frames) + audio_ + v1,
         {"tags", "set", "F", "v2.title=" + x},
         "TIT2 enc=0 " + x},
        {"fits",
         v2Tag(3, frames, 512) + audio_ + v1,
         {"tags", "set", "F", "v2.title=Longer"},
         "TIT2 enc=0 Longer"},
        {"easytag", audio_, {"easytag", "D"}, "TIT2 enc=0 Title"},
        {"clear-all", v2Tag(3, frames) + audio_, {"clear-all", "D"}, "v2=none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = put(c.name + "/Artist - Title.mp3", c.bytes);
        const fs::path link = dir_ / ("link of " + c.name + ".mp3");
        fs::create_hard_link(file, link);
        fs::permissions(file, fs::perms(0640));
        const bool xattrs = ::setxattr(file.c_str(), "user.tunex", "kept", 4, 0) == 0;
        ASSERT_TRUE(xattrs || errno == ENOTSUP) << std::strerror(errno);
        const auto names = namesUnder(file.parent_path());
        const auto before = statOf(file);
        std::vector<std::string> words = c.command;
        std::replace(words.begin(), words.end(), std::string("F"), file.string());
        std::replace(words.begin(), words.end(), std::string("D"), file.parent_path().string());
        const auto result = run(words);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const std::string view = independentView(file);
        EXPECT_TRUE(test::hasLine(view, c.expected)) << view;
        const auto after = statOf(file);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(statOf(link).st_ino, after.st_ino);
        EXPECT_EQ(after.st_nlink, 2U);
        EXPECT_EQ(independentView(link), view);
        EXPECT_EQ(after.st_mode & 07777, 0640U);
        if (xattrs) {
            char value[16] = {};
            EXPECT_EQ(::getxattr(file.c_str(), "user.tunex", value, sizeof value), 4);
            EXPECT_STREQ(value, "kept");
        }
        EXPECT_EQ(namesUnder(file.parent_path()), names);
    }
}

TEST_F(TagWriteSafety, FolderCommandsLeaveFilesWithoutMpegAudioAlone) {
    const std::string m = (dir_ / "Music").string();
    // "Take.mp3.wav" would be a WAV file: the last extension decides.
    std::vector<Foreign> foreign = {{"Take.mp3.dat", waveFile()},
                                    {"Lyrics.mp3.txt", "All my troubles seemed so far away\n"}};
    for (const Foreign& audio : otherAudio()) {
        foreign.push_back({"Song in " + audio.name + ".mp3", audio.bytes});
    }
    struct Case {
        std::vector<std::string> words;
        std::string counted;   // how the message starts: only the real mp3 file counts
        std::string expected;  // a line of the real file's view afterwards
    };
    const std::vector<Case> cases = {
        // One slot takes the whole name, so every file qualifies by its name.
        {{"easytag", m, "--slot1", "title", "--slot2", "off"},
         "Tunex Easy Tag - Process Done: Tags written to 1 file under " + m + ".",
         "TIT2 enc=0 Song"},
        {{"clear-all", m},
         "Tunex - Tags Partly Removed: All ID3 tags of 1 files under " + m + " removed.",
         "v2=none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[0]);
        for (const Foreign& f : foreign) {
            put("Music/" + f.name, f.bytes);
        }
        const fs::path song = put("Music/Song.mp3", v2Tag(3, v2Text(3, "TPE1", "a")) + audio_);
        const auto result = run(c.words);
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3) << result.exitCode;
        EXPECT_EQ(result.err.rfind(c.counted, 0), 0U) << result.err;
        for (const Foreign& f : foreign) {
            EXPECT_TRUE(unchanged(dir_ / "Music" / f.name, f.bytes));
        }
        EXPECT_TRUE(test::hasLine(independentView(song), c.expected)) << independentView(song);
    }
}

// Other audio named .mp3 is never given ID3 tags. Under its own name it is the tag tools' to
// write, but an mp3 key is refused, and clearing a file without a tag leaves every byte.
TEST_F(TagWriteSafety, TagCommandsRefuseFilesWithoutMpegAudio) {
    for (const Foreign& kind : otherAudio()) {
        for (const std::string& extension : {kind.name, std::string("mp3")}) {
            for (const std::vector<std::string>& words :
                 {std::vector<std::string>{"tags", "set", "v2.title=X"}, {"tags", "clear"}}) {
                const fs::path file = put("direct/" + kind.name + "." + extension, kind.bytes);
                SCOPED_TRACE(file.filename().string() + " " + words[1]);
                std::vector<std::string> command = words;
                command.insert(command.begin() + 2, file.string());
                const auto result = run(command);
                if (extension == "mp3" || words[1] == "set") {
                    EXPECT_NE(result.exitCode, 0) << result.err;
                } else {
                    EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3) << result.err;
                }
                EXPECT_TRUE(unchanged(file, kind.bytes));
            }
        }
    }
}

}  // namespace
}  // namespace tunex
