#include "core/tags/flac_in_place.h"

#include <vector>

#include "core/tags/tag_structure.h"

namespace tunex {

namespace {

using TagLib::ByteVector;

constexpr int kPadding = 1;
constexpr int kComment = 4;
constexpr long kHeader = 4;
constexpr long kLargestBlock = 0xFFFFFF;

ByteVector blockHeader(int type, long size) {
    ByteVector header = ByteVector::fromUInt(static_cast<unsigned>(size), true);
    header[0] = static_cast<char>(type);
    return header;
}

}  // namespace

bool writeFlacCommentInPlace(TagLib::IOStream& stream, const ByteVector& comment) {
    const FlacBlocks found = flacMetadataBlocks(stream);
    const std::vector<FlacBlock>& blocks = found.blocks;
    const long start = found.start;
    const auto size = static_cast<long>(comment.size());
    if (!found.whole || blocks.empty() || size > kLargestBlock) {
        return false;
    }
    const FlacBlock* old = nullptr;
    const FlacBlock* padding = nullptr;
    for (const FlacBlock& block : blocks) {
        if (block.type == kComment && old == nullptr) {
            old = &block;
        } else if (block.type == kPadding && padding == nullptr) {
            padding = &block;
        }
    }
    const long grows = size - (old != nullptr ? old->size : -kHeader);
    if (padding == nullptr || grows > padding->size) {
        return false;
    }
    const long end = blocks.back().position + kHeader + blocks.back().size;
    stream.seek(start);
    const ByteVector before = stream.readBlock(static_cast<unsigned long>(end - start));
    ByteVector after;
    int lastHeader = 0;
    const auto add = [&](const ByteVector& header, const ByteVector& content) {
        lastHeader = static_cast<int>(after.size());
        after.append(header);
        after.append(content);
    };
    for (const FlacBlock& block : blocks) {
        if (&block == padding) {
            add(blockHeader(kPadding, block.size - grows),
                ByteVector(static_cast<unsigned>(block.size - grows), '\0'));
        } else if (&block == old) {
            add(blockHeader(kComment, size), comment);
        } else {
            add(blockHeader(block.type, block.size),
                before.mid(static_cast<unsigned>(block.position + kHeader - start),
                           static_cast<unsigned>(block.size)));
        }
        // A stream without a comment gets one right behind its STREAMINFO block.
        if (old == nullptr && &block == &blocks.front()) {
            add(blockHeader(kComment, size), comment);
        }
    }
    // Only the last block says so.
    after[lastHeader] = static_cast<char>(static_cast<unsigned char>(after[lastHeader]) | 0x80);
    if (after.size() != before.size()) {
        return false;
    }
    stream.seek(start);
    stream.writeBlock(after);
    return true;
}

}  // namespace tunex
