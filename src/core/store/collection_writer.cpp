#include "core/store/collection_writer.h"

#include "core/store/song_record.h"

#include <string>

namespace tunex {

bool CollectionWriter::begin(std::string_view collectionName) {
    records_ = 0;
    if (!file_.open()) {
        return false;
    }
    std::string line(kCollectionNamePrefix);
    line.append(collectionName).push_back('\n');
    return file_.write(line);
}

bool CollectionWriter::addRecordLine(std::string_view line) {
    if (!file_.write(line)) {
        return false;
    }
    ++records_;
    return true;
}

bool CollectionWriter::finish() {
    // The end marker has no line end after it.
    return file_.write(kEndMarker) && file_.commit();
}

}  // namespace tunex
