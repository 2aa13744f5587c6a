#pragma once

#include <taglib/id3v2tag.h>

#include <string>
#include <vector>

#include "core/tags/id3_tags.h"
#include "core/tags/id3v2_layout.h"
#include "core/tags/tag_field_table.h"

namespace tunex {

// The V2 fields of the tag editor; each owns a set of frames.
using V2Field = TagField;

// A field to be set: `text` for text fields (empty removes them), `genre` for Genre.
struct V2Edit {
    V2Field field;
    std::string text;
    int genre = kGenreUnselected;
};

// The edits that turn `current` (what the file holds, as loadTagFields reads it) into `wanted`:
// only fields whose value differs, so frames of untouched fields are never rewritten.
[[nodiscard]] std::vector<V2Edit> v2EditsBetween(const Id3v2Fields& current,
                                                 const Id3v2Fields& wanted);

// Applies edits to frames kept byte for byte: a changed field's frames are replaced where the
// first of them stood (new fields go to the end), every other frame stays as it was.
void applyV2Edits(V2Layout& layout, const std::vector<V2Edit>& edits);

// Whether the frame is one of the editor's fields (a comment only without a description).
[[nodiscard]] bool shownByEditor(const TagLib::ID3v2::Frame& frame);

// The same edits on TagLib's model of a tag that cannot be kept byte for byte.
void applyV2Edits(TagLib::ID3v2::Tag& tag, TagLib::ID3v2::Version version,
                  const std::vector<V2Edit>& edits);

}  // namespace tunex
