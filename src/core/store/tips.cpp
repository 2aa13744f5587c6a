#include "core/store/tips.h"

#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/store/song_record.h"

namespace tunex {

void TipCycle::load(const std::filesystem::path& tipsFile) {
    tips_.clear();
    position_ = 0;
    LineReader reader;
    if (!reader.open(tipsFile)) {
        return;
    }
    TextLine line;
    while (reader.next(line) && !startsWith(line.text, kEndMarker)) {
        tips_.emplace_back(line.text);
    }
}

std::string TipCycle::next() {
    if (tips_.empty()) {
        return kFallbackTip;
    }
    if (position_ >= tips_.size()) {
        position_ = 0;
    }
    return tips_[position_++];
}

}  // namespace tunex
