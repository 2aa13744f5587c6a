#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/id3_tags.h"
#include "support/temp_dir.h"
#include "support/test_journal.h"

namespace tunex::test {

// `count` MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, 417 bytes each) with a payload that holds
// no "ID3", "TAG" or "APETAGEX" by accident.
inline std::string mpegAudio(int count) {
    std::string audio;
    for (int f = 0; f < count; ++f) {
        audio += "\xFF\xFB\x90\x64";
        for (int i = 4; i < 417; ++i) {
            audio += static_cast<char>('a' + (i * 7 + f) % 20);
        }
    }
    return audio;
}

inline std::string syncsafe(size_t n) {
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<size_t>(i)] = static_cast<char>(n & 0x7F);
        n >>= 7;
    }
    return out;
}

inline std::string bigEndian(size_t n) {
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<size_t>(i)] = static_cast<char>(n & 0xFF);
        n >>= 8;
    }
    return out;
}

// One ID3v2 frame; `body` holds everything after the frame header.
inline std::string v2Frame(int version, std::string_view id, std::string_view body) {
    return std::string(id) + (version == 4 ? syncsafe(body.size()) : bigEndian(body.size())) +
           std::string(2, '\0') + std::string(body);
}

// A Latin-1 text frame.
inline std::string v2Text(int version, std::string_view id, std::string_view text) {
    return v2Frame(version, id, std::string(1, '\0') + std::string(text));
}

inline std::string v2Tag(int version, std::string_view frames, size_t padding = 0) {
    return "ID3" + std::string(1, static_cast<char>(version)) + std::string(2, '\0') +
           syncsafe(frames.size() + padding) + std::string(frames) + std::string(padding, '\0');
}

inline std::string v1Field(std::string_view text, size_t size) {
    std::string field(text.substr(0, size));
    field.resize(size, '\0');
    return field;
}

inline std::string v1Tag(std::string_view title, std::string_view artist, std::string_view album,
                         std::string_view year, std::string_view comment, int track, int genre) {
    std::string tag = "TAG" + v1Field(title, 30) + v1Field(artist, 30) + v1Field(album, 30) +
                      v1Field(year, 4) + v1Field(comment, 28);
    tag += '\0';
    tag += static_cast<char>(track);
    tag += static_cast<char>(genre);
    return tag;
}

// The write operations through the test journal, true when the file now holds what was asked.
inline bool saveTags(const std::filesystem::path& file, const TagFields& fields) {
    return saveTagFields(journal(), file, fields) == TagWriteOutcome::Written;
}
inline bool clearTags(const std::filesystem::path& file) {
    return clearAllTags(journal(), file) == TagWriteOutcome::Written;
}
inline bool writeNames(const std::filesystem::path& file, TagVersion target,
                       std::span<const NameValue> values) {
    return writeNameFields(journal(), file, target, values) == TagWriteOutcome::Written;
}

inline std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, got);
        }
        ::pclose(pipe);
    }
    return output;
}

inline std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// What an independent reader (mutagen) sees in a file, one fact a line:
//   v2=2.3                         version of the ID3v2 tag at the start, or v2=none
//   TIT2 enc=1 Title               a frame: id, text encoding where it has one, its text
//   TCON enc=0 (17)                genres show the stored text
//   v1=title|artist|album|year|comment|track|genre   or v1=none
//   body=<sha256>                  everything but the leading ID3v2 tag and the trailing ID3v1 tag
inline std::string independentView(const std::filesystem::path& file) {
    static const char* const kScript = R"PY(
import sys, hashlib
from mutagen.id3 import ID3, ID3NoHeaderError
path = sys.argv[1]
data = open(path, 'rb').read()
def header_end(d, i):
    if len(d) < i + 10 or d[i:i+3] != b'ID3' or d[i+3] not in (2, 3, 4) or any(b >= 0x80 for b in d[i+6:i+10]):
        return None
    size = 0
    for b in d[i+6:i+10]:
        size = size * 128 + b
    return i + 10 + size + (10 if d[i+5] & 0x10 else 0)
def v2_span(d):
    # A tag stands at the start, or behind junk that holds no MPEG frame sync.
    i = d.find(b'ID3', 0, 65536)
    if i < 0 or any(d[k] == 0xFF and d[k+1] >= 0xE0 for k in range(i)):
        return (0, 0)
    end = header_end(d, i)
    if end is None:
        return (0, 0)
    # Back-to-back duplicates count as one tag, as TagLib counts them.
    while header_end(d, end) is not None:
        end = header_end(d, end)
    return (i, end)
start, end = v2_span(data)
rest = data[:start] + data[end:]
v1 = None
if len(rest) >= 128 and rest[-128:-125] == b'TAG':
    v1 = rest[-128:]
    rest = rest[:-128]
try:
    tag = ID3(path, load_v1=False)
    if tag.version[0] != 2:
        raise ID3NoHeaderError()
    print('raw=' + ','.join(f.FrameID for f in ID3(path, translate=False, load_v1=False).values()))
    print('v2=2.%d' % tag.version[1])
    for frame in tag.values():
        enc = ' enc=%d' % frame.encoding if hasattr(frame, 'encoding') else ''
        if hasattr(frame, 'url'):
            text = frame.url
        elif frame.FrameID == 'COMM':
            text = '%s|%s|%s' % (frame.lang, frame.desc, '/'.join(frame.text))
        elif hasattr(frame, 'text'):
            text = '/'.join(str(t) for t in frame.text)
        else:
            text = frame._pprint()
        print('%s%s %s' % (frame.FrameID, enc, text))
except ID3NoHeaderError:
    print('v2=none')
except Exception as e:
    print('v2=error %s' % type(e).__name__)
if v1 is None:
    print('v1=none')
else:
    f = lambda a, b: v1[a:b].split(b'\0')[0].decode('latin-1').rstrip(' ')
    track = v1[126] if v1[125] == 0 else 0
    print('v1=%s|%s|%s|%s|%s|%d|%d' % (f(3, 33), f(33, 63), f(63, 93), f(93, 97), f(97, 125 if v1[125] == 0 else 127), track, v1[127]))
print('body=' + hashlib.sha256(rest).hexdigest())
)PY";
    static const TempDir folder;
    static const std::filesystem::path script = [] {
        const auto path = folder / "view.py";
        writeFile(path, kScript);
        return path;
    }();
    return runCommand(std::string(TUNEX_PYTHON) + " " + shellQuote(script.string()) + " " +
                      shellQuote(file.string()) + " 2>&1");
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        out.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

inline bool hasLine(const std::string& view, std::string_view line) {
    for (const std::string& l : lines(view)) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

// The frame lines of a view whose id is not in `except`.
inline std::vector<std::string> framesExcept(const std::string& view,
                                             const std::vector<std::string>& except) {
    std::vector<std::string> out;
    for (const std::string& l : lines(view)) {
        if (l.size() < 5 || l[4] != ' ') {
            continue;
        }
        bool skip = false;
        for (const std::string& id : except) {
            skip = skip || l.rfind(id + " ", 0) == 0;
        }
        if (!skip) {
            // Encodings may change when a tag is rewritten; the texts may not.
            const size_t enc = l.find(" enc=");
            out.push_back(enc == std::string::npos ? l : l.substr(0, enc) + l.substr(enc + 6));
        }
    }
    // TagLib moves converted frames to the end of the tag.
    std::sort(out.begin(), out.end());
    return out;
}

inline std::string viewLine(const std::string& view, std::string_view prefix) {
    for (const std::string& l : lines(view)) {
        if (l.rfind(prefix, 0) == 0) {
            return l;
        }
    }
    return std::string();
}

}  // namespace tunex::test
