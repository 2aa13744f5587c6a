#include "core/tags/id3v22_upgrade.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tunex {

namespace {

constexpr std::size_t kV22Header = 6;

struct IdPair {
    std::string_view v22;
    std::string_view v23;
};

// The v2.3 names of the v2.2 frames, and of those iTunes added to v2.2 later (TCP, TS2...).
// CRM (encrypted meta frame) has none: its content cannot be carried over.
constexpr std::array<IdPair, 76> kIds = {
    {{"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
     {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"GP1", "GRP1"}, {"IPL", "IPLS"}, {"LNK", "LINK"},
     {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"MVI", "MVIN"}, {"MVN", "MVNM"}, {"PCS", "PCST"},
     {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
     {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
     {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDS", "TDES"}, {"TDY", "TDLY"},
     {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TID", "TGID"}, {"TIM", "TIME"}, {"TKE", "TKEY"},
     {"TKW", "TKWD"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"},
     {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
     {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"},
     {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"},
     {"TSC", "TSOC"}, {"TSI", "TSIZ"}, {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"},
     {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"},
     {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"},
     {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WFD", "WFED"}, {"WPB", "WPUB"},
     {"WXX", "WXXX"}}};

std::optional<std::string_view> v23IdOf(std::string_view v22) {
    const auto* found =
        std::find_if(kIds.begin(), kIds.end(), [v22](const IdPair& p) { return p.v22 == v22; });
    return found == kIds.end() ? std::nullopt : std::optional(found->v23);
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

// v2.2 names a picture's image format in three letters where v2.3 has a MIME type.
std::string mimeOfImageFormat(std::string_view format) {
    if (format == "JPG") {
        return "image/jpeg";
    }
    if (format == "-->") {
        return std::string(format);  // the picture is a link, not data
    }
    std::string trimmed(format.substr(0, format.find('\0')));
    return "image/" + lowerAscii(trimmed);
}

// A v2.3 frame with no flags set.
RawFrame v23Frame(std::string_view id, std::string_view body) {
    std::string bytes(id);
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<char>((size >> shift) & 0xFF));
    }
    bytes.append(2, '\0');
    bytes.append(body);
    return {std::move(bytes)};
}

// The v2.3 body of a frame whose layout changed; nothing when it cannot be carried over.
std::optional<std::string> v23Body(std::string_view id, std::string_view body,
                                   std::string& unmapped) {
    if (id == "PIC") {
        // Encoding, image format (three letters), picture type, description, data.
        if (body.size() < 5) {
            return std::nullopt;
        }
        std::string out(body.substr(0, 1));
        out += mimeOfImageFormat(body.substr(1, 3));
        out.push_back('\0');
        out += body.substr(4);
        return out;
    }
    if (id == "LNK") {
        // The id of the frame linked to, then the URL and the id data.
        if (body.size() < 3) {
            return std::nullopt;
        }
        const auto linked = v23IdOf(body.substr(0, 3));
        if (!linked) {
            unmapped = std::string(body.substr(0, 3));
            return std::nullopt;
        }
        return std::string(*linked) + std::string(body.substr(3));
    }
    return std::string(body);
}

}  // namespace

std::optional<std::vector<RawFrame>> upgradeV22Frames(std::string_view data,
                                                      std::string& unmapped) {
    std::vector<RawFrame> frames;
    std::size_t position = 0;
    while (position < data.size() && data[position] != '\0') {
        if (data.size() - position < kV22Header) {
            return std::nullopt;
        }
        const std::string_view id = data.substr(position, 3);
        if (!std::ranges::all_of(id, isFrameIdChar)) {
            return std::nullopt;
        }
        std::size_t size = 0;
        for (std::size_t i = 3; i < kV22Header; ++i) {
            size = (size << 8) | static_cast<unsigned char>(data[position + i]);
        }
        if (size > data.size() - position - kV22Header) {
            return std::nullopt;
        }
        const auto v23Id = v23IdOf(id);
        if (!v23Id) {
            unmapped = std::string(id);
            return std::nullopt;
        }
        auto body = v23Body(id, data.substr(position + kV22Header, size), unmapped);
        if (!body) {
            return std::nullopt;
        }
        frames.push_back(v23Frame(*v23Id, *body));
        position += kV22Header + size;
    }
    // Only padding may follow the last frame.
    if (std::any_of(data.begin() + static_cast<std::ptrdiff_t>(position), data.end(),
                    [](char c) { return c != '\0'; })) {
        return std::nullopt;
    }
    return frames;
}

}  // namespace tunex
