#include "support/audio_files.h"

#include <cstdio>

#include "support/run_program.h"

namespace tunex::test {

namespace {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;  // UTF-8 passes through as it is
        }
    }
    return out + "\"";
}

std::string json(const AudioTags& tags) {
    std::string out = "{";
    for (const auto& [key, values] : tags.fields) {
        out += jsonString(key) + ": [";
        for (size_t i = 0; i < values.size(); ++i) {
            out += (i == 0 ? "" : ", ") + jsonString(values[i]);
        }
        out += "], ";
    }
    out += "\"picture\": ";
    out += tags.backCover ? "2" : tags.picture ? "1" : "0";
    out += ", \"replaygain\": ";
    out += tags.replayGain ? "true" : "false";
    if (tags.padding >= 0) {
        out += ", \"padding\": " + std::to_string(tags.padding);
    }
    return out + "}";
}

ProgramResult runScript(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {TUNEX_AUDIO_FILES_SCRIPT};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return runProgram(TUNEX_PYTHON, words);
}

}  // namespace

::testing::AssertionResult makeAudioFile(std::string_view format, const std::filesystem::path& file,
                                         const AudioTags& tags) {
    const ProgramResult result =
        runScript({"make", std::string(format), file.string(), json(tags)});
    if (result.exitCode != 0) {
        return ::testing::AssertionFailure()
               << "making a " << format << " file " << file << " failed (exit " << result.exitCode
               << "): " << result.err;
    }
    return ::testing::AssertionSuccess();
}

std::string audioView(const std::filesystem::path& file) {
    const ProgramResult result = runScript({"view", file.string()});
    if (result.exitCode != 0) {
        ADD_FAILURE() << "mutagen's view of " << file << " failed (exit " << result.exitCode
                      << "): " << result.err;
        return "error=" + result.err;
    }
    return result.out;
}

AudioViewMap audioViewMap(const std::filesystem::path& file) {
    AudioViewMap facts;
    const std::string view = audioView(file);
    size_t start = 0;
    while (start < view.size()) {
        size_t end = view.find('\n', start);
        if (end == std::string::npos) {
            end = view.size();
        }
        const std::string line = view.substr(start, end - start);
        const size_t equals = line.find('=');
        facts[line.substr(0, equals)].push_back(
            equals == std::string::npos ? std::string() : line.substr(equals + 1));
        start = end + 1;
    }
    return facts;
}

}  // namespace tunex::test
