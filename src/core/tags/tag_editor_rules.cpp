#include "core/tags/tag_editor_rules.h"

#include "core/tags/audio_format.h"

namespace tunex {

std::string tagEditorCaption(std::string_view path) {
    if (singleTagFormat(path)) {
        return "Tag of " + std::string(path);
    }
    return "ID3 Tag of " + std::string(path);
}

std::string singleTagTitle(AudioFormat format) {
    switch (format) {
        case AudioFormat::Mp3:
            return "ID3 Tag";
        case AudioFormat::Flac:
            return "FLAC Tag";
        case AudioFormat::OggVorbis:
            return "Ogg Vorbis Tag";
        case AudioFormat::Opus:
            return "Opus Tag";
        case AudioFormat::Mp4:
            return "MP4 Tag";
        case AudioFormat::Asf:
            return "Windows Media Tag";
        case AudioFormat::Ape:
            return "APE Tag";
        case AudioFormat::WavPack:
            return "WavPack Tag";
        case AudioFormat::Aiff:
            return "AIFF Tag";
        case AudioFormat::Wav:
            return "WAV Tag";
    }
    return "Tag";
}

int v1TypingLimit(V1TextField field) {
    const TagFieldRow* row = findTagField(TagVersion::V1, field);
    return row != nullptr ? row->typingLimit : 0;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::string_view genreEntryText(int entry) {
    if (entry <= kGenreEntryEmpty || entry >= kGenreEntryCount) {
        return {};
    }
    return GenreList[static_cast<std::size_t>(entry - 1)];
}

void clearV1Group(Id3v1Fields& fields) {
    fields = Id3v1Fields{};
    fields.genre = kGenreEntryEmpty;
}

void clearV2Group(Id3v2Fields& fields) {
    fields = Id3v2Fields{};
    fields.genre = kGenreEntryEmpty;
}

UserMessage wrongContentMessage(std::string_view path) {
    const auto format = singleTagFormat(path);
    if (!format) {
        return {"The file " + std::string(path) +
                    " does not hold MPEG audio, so no ID3 tag was written into it.",
                captionFor("File Error"), MessageIcon::Error};
    }
    return {"The file " + std::string(path) + " does not hold " +
                std::string(audioFormatName(*format)) + ", so no tag was written into it.",
            captionFor("File Error"), MessageIcon::Error};
}

std::string wrongContentReason(std::span<const std::string> paths) {
    std::optional<AudioFormat> shared;
    for (const std::string& path : paths) {
        const auto format = audioFormatOfName(path);
        if (!format || (shared && *shared != *format)) {
            return "left alone, not the audio their names say";
        }
        shared = format;
    }
    return "left alone, not " + std::string(audioFormatName(shared.value_or(AudioFormat::Mp3)));
}

UserMessage tagUpdateFailedMessage(std::string_view path, TagWriteOutcome outcome) {
    if (outcome == TagWriteOutcome::WrongContent) {
        return wrongContentMessage(path);
    }
    const std::string what = singleTagFormat(path) ? "The tag of file " : "The ID3 tags of file ";
    return {what + std::string(path) + " could not be written.", captionFor("File Error"),
            MessageIcon::Error};
}

}  // namespace tunex
