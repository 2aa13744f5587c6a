#include "core/journal/journal_restore.h"

#include "core/journal/file_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string>
#include <vector>

namespace tunex::journal {

namespace {

// Every byte of [from, from + current.size()) is the old byte or the byte the write puts there:
// the file holds nothing but this write's doing, finished or cut short.
bool onlyOldOrNew(std::string_view current, std::string_view old, std::string_view fresh) {
    for (std::size_t i = 0; i < current.size(); ++i) {
        const bool isOld = i < old.size() && current[i] == old[i];
        const bool isNew = i < fresh.size() && current[i] == fresh[i];
        if (!isOld && !isNew) {
            return false;
        }
    }
    return true;
}

// The file as it is now beside the bytes the journal kept of it, read a stretch at a time.
class WriteCheck {
public:
    WriteCheck(const Record& record, int file, int journalFd, std::int64_t size)
        : record_(record), file_(file), journalFd_(journalFd), size_(size) {}

    // Whether the splices before `moving` each hold only old or new bytes.
    [[nodiscard]] bool splicesInPlaceHold(std::int64_t moving);
    // Whether from `moving` on the file holds only the new bytes (the splices with the old bytes
    // between them) or the old ones, and past the new end only old bytes.
    [[nodiscard]] bool movedPartHolds(std::int64_t moving);

private:
    struct Piece {
        std::int64_t oldOffset;  // -1: from `bytes`
        std::int64_t length;
        const std::string* bytes;
    };

    void readFile(std::int64_t at, std::int64_t length) {
        current_.resize(static_cast<std::size_t>(std::max<std::int64_t>(length, 0)));
        const ssize_t got = readFullyAt(file_, current_.data(), current_.size(), at);
        current_.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    }
    [[nodiscard]] const Region* regionAt(std::int64_t offset) const {
        for (const Region& region : record_.regions) {
            if (region.offset == offset) {
                return &region;
            }
        }
        return nullptr;
    }
    // The journal's copy of the `want` old bytes at `at` into old_ (none past the old end).
    [[nodiscard]] bool readOldAt(std::int64_t moving, std::int64_t at, std::size_t want) {
        const std::int64_t oldLength =
            std::clamp<std::int64_t>(record_.before.size - at, 0, static_cast<std::int64_t>(want));
        return readJournal(journalFd_, record_.regions.back().journalOffset + (at - moving),
                           static_cast<std::size_t>(oldLength), old_);
    }
    [[nodiscard]] std::vector<Piece> newPieces(std::int64_t moving) const;
    [[nodiscard]] bool pieceHolds(const Piece& piece, std::int64_t moving, std::int64_t& at);
    [[nodiscard]] bool tailHolds(std::int64_t moving, std::int64_t at);

    const Record& record_;
    int file_;
    int journalFd_;
    std::int64_t size_;  // of the file now
    std::string current_;
    std::string old_;
    std::string piece_;
};

bool WriteCheck::splicesInPlaceHold(std::int64_t moving) {
    for (const Splice& splice : record_.splices) {
        if (splice.offset >= moving) {
            break;
        }
        const bool appended = splice.offset == record_.before.size && splice.length == 0;
        if (appended) {
            readFile(splice.offset, size_ - splice.offset);
            if (!onlyOldOrNew(current_, {}, splice.bytes)) {
                return false;
            }
            continue;
        }
        const Region* region = regionAt(splice.offset);
        if (region == nullptr || !readJournal(journalFd_, region->journalOffset,
                                              static_cast<std::size_t>(region->length), old_)) {
            return false;
        }
        readFile(splice.offset, splice.length);
        if (!onlyOldOrNew(current_, old_, splice.bytes)) {
            return false;
        }
    }
    return true;
}

std::vector<WriteCheck::Piece> WriteCheck::newPieces(std::int64_t moving) const {
    std::vector<Piece> pieces;
    std::int64_t oldAt = moving;
    for (const Splice& splice : record_.splices) {
        if (splice.offset < moving) {
            continue;
        }
        pieces.push_back({oldAt, splice.offset - oldAt, nullptr});
        pieces.push_back({-1, std::ssize(splice.bytes), &splice.bytes});
        oldAt = splice.offset + splice.length;
    }
    pieces.push_back({oldAt, record_.before.size - oldAt, nullptr});
    return pieces;
}

bool WriteCheck::pieceHolds(const Piece& p, std::int64_t moving, std::int64_t& at) {
    const Region& region = record_.regions.back();
    for (std::int64_t done = 0; done < p.length && at < size_;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
            {p.length - done, size_ - at, static_cast<std::int64_t>(kChunk)}));
        if (p.bytes != nullptr) {
            piece_ = p.bytes->substr(static_cast<std::size_t>(done), want);
        } else if (!readJournal(journalFd_, region.journalOffset + (p.oldOffset + done - moving),
                                want, piece_)) {
            return false;
        }
        if (!readOldAt(moving, at, want)) {
            return false;
        }
        readFile(at, static_cast<std::int64_t>(want));
        if (current_.size() != want || !onlyOldOrNew(current_, old_, piece_)) {
            return false;
        }
        done += static_cast<std::int64_t>(want);
        at += static_cast<std::int64_t>(want);
    }
    return true;
}

bool WriteCheck::tailHolds(std::int64_t moving, std::int64_t at) {
    while (at < size_) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(size_ - at, static_cast<std::int64_t>(kChunk)));
        if (!readOldAt(moving, at, want)) {
            return false;
        }
        readFile(at, static_cast<std::int64_t>(want));
        if (!onlyOldOrNew(current_, old_, {})) {
            return false;
        }
        at += static_cast<std::int64_t>(want);
    }
    return true;
}

bool WriteCheck::movedPartHolds(std::int64_t moving) {
    std::int64_t at = moving;
    for (const Piece& piece : newPieces(moving)) {
        if (!pieceHolds(piece, moving, at)) {
            return false;
        }
    }
    return tailHolds(moving, at);
}

// Whether the file holds only what the journaled write (done, cut short, or its own roll-back
// cut short) can have left; anything else is someone else's later change, not to be undone.
bool holdsOnlyThisWrite(const Record& record, int file, int journalFd, std::int64_t size) {
    const FileChange change{record.path, record.before, record.splices};
    const std::int64_t moving = change.inPlace() || record.regions.empty()
                                    ? std::numeric_limits<std::int64_t>::max()
                                    : record.regions.back().offset;
    WriteCheck check(record, file, journalFd, size);
    if (!check.splicesInPlaceHold(moving)) {
        return false;
    }
    // The moving part: the new bytes are the splices with the old bytes between them.
    return moving == std::numeric_limits<std::int64_t>::max() || check.movedPartHolds(moving);
}

}  // namespace

UniqueFd openForWriting(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

RestoreResult restore(const Record& record, int journalFd) {
    const UniqueFd file = openForWriting(record.path);
    if (!file) {
        // A stick not plugged in, a folder renamed, a disk not mounted: the file may come back.
        const bool away = errno == ENOENT || errno == ENOTDIR || errno == ENXIO ||
                          errno == ENODEV || errno == ESTALE || errno == EISDIR;
        return away ? RestoreResult::Unreachable : RestoreResult::Failed;
    }
    if (!lockFile(file.get(), true)) {
        return RestoreResult::Failed;
    }
    return restoreOpen(record, file.get(), journalFd);
}

namespace {

// Writes the journal's copy of every region where it differs from the file.
RestoreResult putBackRegions(const Record& record, int file, int journalFd,
                             const FileIdentity& now) {
    bool changed = false;
    std::string original;
    std::string current;
    for (const Region& region : record.regions) {
        for (std::int64_t done = 0; done < region.length;) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(region.length - done, static_cast<std::int64_t>(kChunk)));
            original.resize(want);
            current.resize(want);
            if (readFullyAt(journalFd, original.data(), want, region.journalOffset + done) !=
                static_cast<ssize_t>(want)) {
                return RestoreResult::Failed;
            }
            const ssize_t got = readFullyAt(file, current.data(), want, region.offset + done);
            if (got < 0) {
                return RestoreResult::Failed;
            }
            current.resize(static_cast<std::size_t>(got));
            if (current != original) {
                if (!writeAllAt(file, original, region.offset + done)) {
                    return RestoreResult::Failed;
                }
                changed = true;
            }
            done += static_cast<std::int64_t>(want);
        }
    }
    if (now.size != record.before.size) {
        if (::ftruncate(file, record.before.size) != 0) {
            return RestoreResult::Failed;
        }
        changed = true;
    }
    // Synced even when nothing differs: an earlier restore cut short may have left the old
    // bytes in the page cache only.
    const bool synced =
        syncfsReachesDevice(file) ? ::fdatasync(file) == 0 : syncFileAndFolder(file, record.path);
    if (!synced) {
        return RestoreResult::Failed;
    }
    return changed ? RestoreResult::Restored : RestoreResult::Unchanged;
}

}  // namespace

RestoreResult restoreOpen(const Record& record, int file, int journalFd) {
    const auto now = identityOf(file);
    if (!now) {
        return RestoreResult::Unreachable;
    }
    // A write cut short while moving the audio leaves a size between the old and the new one.
    const std::int64_t smallest = std::min(record.before.size, record.newSize);
    const std::int64_t largest = std::max(record.before.size, record.newSize);
    if (now->size >= smallest && now->size <= largest &&
        holdsOnlyThisWrite(record, file, journalFd, now->size)) {
        return putBackRegions(record, file, journalFd, *now);
    }
    // Device and inode repeat across discs mounted in turn at one place: with the time the file
    // was made they tell the very file, else an unchanged stretch of it must be there.
    const bool sameInode = now->device == record.before.device && now->inode == record.before.inode;
    const std::int64_t birth = record.sample.birthNs;
    const bool ours =
        (sameInode && birth != 0 && birth == birthOf(file)) ||
        (record.sample.length > 0 ? holdsSample(record, file, now->size) : sameInode && birth == 0);
    return ours ? RestoreResult::ChangedSince : RestoreResult::Unreachable;
}

}  // namespace tunex::journal
