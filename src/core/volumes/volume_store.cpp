#include "core/volumes/volume_store.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"

#include <charconv>

namespace tunex {

namespace {

constexpr std::size_t kFields = 8;

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '\t':
                out.append("\\t");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\\':
                out.append("\\\\");
                break;
            default:
                out.push_back(c);
        }
    }
}

std::string unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char next = text[++i];
        out.push_back(next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next);
    }
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

bool parseLine(std::string_view line, VolumeIdentities& identities) {
    const std::vector<std::string_view> fields = splitTabs(line);
    VolumeIdentity identity;
    const std::string_view size = fields.size() == kFields ? fields[5] : std::string_view();
    if (size.empty() ||
        std::from_chars(size.data(), size.data() + size.size(), identity.size).ptr !=
            size.data() + size.size() ||
        fields[1].empty()) {
        return false;
    }
    identity.uuid = unescaped(fields[2]);
    identity.label = unescaped(fields[3]);
    identity.type = unescaped(fields[4]);
    identity.fingerprint = unescaped(fields[6]);
    identity.relativePath = unescaped(fields[7]);
    identities.insert_or_assign(unescaped(fields[1]), std::move(identity));
    return true;
}

std::string fileText(const std::vector<std::string>& names, const VolumeIdentities& identities) {
    std::string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const auto found = identities.find(names[index]);
        if (found == identities.end()) {
            continue;
        }
        const VolumeIdentity& identity = found->second;
        text.append(std::to_string(index)).push_back('\t');
        for (const std::string* field :
             {&names[index], &identity.uuid, &identity.label, &identity.type}) {
            appendEscaped(text, *field);
            text.push_back('\t');
        }
        text.append(std::to_string(identity.size)).push_back('\t');
        appendEscaped(text, identity.fingerprint);
        text.push_back('\t');
        appendEscaped(text, identity.relativePath);
        text.push_back('\n');
    }
    return text;
}

}  // namespace

std::filesystem::path volumesFile(const StorePaths& paths) {
    return paths.systemFolder() / "volumes.ifo";
}

VolumeIdentities readVolumeIdentities(const StorePaths& paths) {
    VolumeIdentities identities;
    LineReader reader;
    TextLine line;
    if (reader.open(volumesFile(paths))) {
        while (reader.next(line)) {
            (void)parseLine(line.text, identities);
        }
    }
    return identities;
}

bool updateVolumeIdentities(const StorePaths& paths, const std::vector<std::string>& names,
                            const std::function<void(VolumeIdentities&)>& change,
                            std::string* error) {
    VolumeIdentities identities = readVolumeIdentities(paths);
    change(identities);
    const std::string text = fileText(names, identities);
    std::error_code missing;
    // An older base folder gets the file with its first identity, not with a delete or rename.
    if (text.empty() && !std::filesystem::exists(volumesFile(paths), missing)) {
        return true;
    }
    return writeFileAtomically(volumesFile(paths), text, error);
}

}  // namespace tunex
