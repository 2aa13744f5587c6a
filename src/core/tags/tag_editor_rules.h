#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/common/user_message.h"
#include "core/tags/audio_format.h"
#include "core/tags/id3_tags.h"
#include "core/tags/refusal_reasons.h"
#include "core/tags/tag_field_table.h"

namespace tunex {

// The Tag Info editor's window caption: "ID3 Tag of " + path; "Tag of " + path for a file of
// another format than mp3, which has no ID3 tag.
[[nodiscard]] std::string tagEditorCaption(std::string_view path);

// The single group's title: "FLAC Tag", "Ogg Vorbis Tag", "MP4 Tag"...
[[nodiscard]] std::string singleTagTitle(AudioFormat format);

// How many characters a V1 field takes as typed text; 0 for the genre and fields V1 lacks. V2
// fields take any length.
using V1TextField = TagField;
[[nodiscard]] int v1TypingLimit(V1TextField field);

// Characters as the user types them (code points of UTF-8 text, not bytes).
[[nodiscard]] std::size_t characterCount(std::string_view utf8);
[[nodiscard]] inline bool fitsTypingLimit(std::string_view utf8, int limit) {
    return characterCount(utf8) <= static_cast<std::size_t>(limit);
}

// Why a field refuses `value`, naming the field `name`; nullopt when it takes it. Text that is not
// UTF-8, more than a V1 typing limit, and numbers the tag cannot hold are refused before anything
// is written, by the editor's Update as by `tunex-cli tags set`. A field of `single`'s one tag
// when it is set, else of the mp3 pair.
[[nodiscard]] std::optional<std::string> fieldValueRefusal(const TagFieldRow& row,
                                                           std::optional<AudioFormat> single,
                                                           std::string_view value,
                                                           std::string_view name);
// Update's check of the fields changed from `loaded`: the first refusal, as an Input Error.
[[nodiscard]] std::optional<UserMessage> changedFieldsRefusal(const TagFields& loaded,
                                                              const TagFields& shown,
                                                              std::optional<AudioFormat> single);
// The largest track or disc number an MP4 "trkn" or "disk" item gives back: TagLib reads it as a
// signed 16 bits.
inline constexpr int kMp4TrackMax = 32767;

// The genre selection lists: the empty entry, then the 148 names of GenreList.
inline constexpr int kGenreEntryCount = kGenreCount + 1;
[[nodiscard]] std::string_view genreEntryText(int entry);

// "Clear V1 Tag" / "Clear V2 Tag": every text field emptied and the empty genre entry selected.
// Nothing is written until Update.
void clearV1Group(Id3v1Fields& fields);
void clearV2Group(Id3v2Fields& fields);

// Update: the message when saveTagFields could not write the file (nothing is shown otherwise).
// `reason` (refusal_reasons.h) says why a refused file was left alone, where known.
[[nodiscard]] UserMessage tagUpdateFailedMessage(std::string_view path,
                                                 TagWriteOutcome outcome = TagWriteOutcome::Failed,
                                                 std::string_view reason = {});
// A file the tag tools leave alone because its content is not the audio its name says, or for
// `reason` where one is known.
[[nodiscard]] UserMessage wrongContentMessage(std::string_view path, std::string_view reason = {});
// The message for a file whose tag TagLib cannot read whole; `reason` (refusal_reasons.h) says
// more where it is known.
[[nodiscard]] UserMessage notReadWholeMessage(std::string_view path, std::string_view reason = {});
// How a batch result names such files: "left alone, not MPEG audio" when they share a format.
[[nodiscard]] std::string wrongContentReason(std::span<const std::string> paths);

}  // namespace tunex
