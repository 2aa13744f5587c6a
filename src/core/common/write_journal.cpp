#include "core/common/write_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <system_error>

namespace tunex {

namespace {

namespace fs = std::filesystem;

// A group file: the header, one record per file, and the trailer once the group is done.
//   record: "TXJR" u32 pathLength path u64 device u64 inode i64 oldSize i64 newSize i64 mtimeNs
//           u32 regionCount, per region i64 offset i64 length and the original bytes,
//           u64 FNV-1a of everything from "TXJR" on
constexpr std::string_view kGroupHeader = "TUNEXJ1\n";
constexpr std::string_view kRecordMark = "TXJR";
constexpr std::string_view kDoneTrailer = "TXJDONE\n";
constexpr std::string_view kBatchPrefix = "batch-";
constexpr std::string_view kGroupPrefix = "group-";
constexpr std::string_view kPartialMark = "partial";

// A group is written when it holds this many files or this many original bytes: few syncs,
// bounded memory, and a kill loses the work of one group at most.
constexpr std::size_t kGroupFiles = 128;
constexpr std::uint64_t kGroupBytes = std::uint64_t{32} << 20;
constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr int kBatchesKept = 1;

constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

std::uint64_t fnv(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    }
    return hash;
}

template <typename T>
void putInt(std::string& out, T value) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    }
}

template <typename T>
T getInt(std::string_view bytes) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return static_cast<T>(bits);
}

bool syncFolder(const fs::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

// Opens a file to change or restore it; never blocks on a FIFO or becomes a terminal.
UniqueFd openForWriting(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

std::string numbered(std::string_view prefix, std::uint64_t number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return std::string(prefix) + digits;
}

// The sequence number of a "batch-N" or "group-N" name; nothing for any other name.
std::optional<std::uint64_t> numberOf(std::string_view name, std::string_view prefix) {
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size() ||
        name.size() > prefix.size() + 18) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return number;
}

// The entries of `folder` named prefix + number, in number order.
std::vector<fs::path> numberedEntries(const fs::path& folder, std::string_view prefix) {
    std::vector<std::pair<std::uint64_t, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (const auto number = numberOf(it->path().filename().native(), prefix)) {
            found.emplace_back(*number, it->path());
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (auto& entry : found) {
        paths.push_back(std::move(entry.second));
    }
    return paths;
}

// A region of the original file and where its bytes lie in the group file.
struct Region {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::int64_t journalOffset = 0;
};

struct Record {
    std::string path;
    FileIdentity before;
    std::int64_t newSize = 0;
    std::vector<Region> regions;
    std::vector<Splice> splices;  // what the write puts there, to tell its bytes from others'
};

// Reads a group file record by record; a record cut short or damaged ends the reading (its
// file was never touched: files change only after the whole group reached the disk).
class GroupReader final {
public:
    explicit GroupReader(int fd) : fd_(fd) {}

    [[nodiscard]] bool readHeader() {
        std::string head(kGroupHeader.size(), '\0');
        return readFullyAt(fd_, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
               head == kGroupHeader;
    }

    // The next whole record; nothing (and the position unchanged) when none follows.
    [[nodiscard]] std::optional<Record> next() {
        const std::int64_t start = position_;
        auto record = readRecord();
        if (!record) {
            position_ = start;
        }
        return record;
    }

    // Whether the trailer stands right behind the last record read.
    [[nodiscard]] bool atDoneTrailer() {
        std::string rest;
        struct stat info {};
        return ::fstat(fd_, &info) == 0 &&
               info.st_size == position_ + static_cast<std::int64_t>(kDoneTrailer.size()) &&
               read(kDoneTrailer.size(), rest) && rest == kDoneTrailer;
    }

private:
    std::optional<Record> readRecord() {
        std::string fixed;
        if (!read(4 + 4, fixed) || std::string_view(fixed).substr(0, 4) != kRecordMark) {
            return std::nullopt;
        }
        std::uint64_t hash = fnv(kFnvOffset, fixed);
        const auto pathLength = getInt<std::uint32_t>(std::string_view(fixed).substr(4));
        if (pathLength == 0 || pathLength > 65536) {
            return std::nullopt;
        }
        Record record;
        std::string meta;
        if (!read(pathLength + 5 * 8 + 4, meta)) {
            return std::nullopt;
        }
        hash = fnv(hash, meta);
        const std::string_view m(meta);
        record.path = std::string(m.substr(0, pathLength));
        std::string_view numbers = m.substr(pathLength);
        record.before.device = getInt<std::uint64_t>(numbers);
        record.before.inode = getInt<std::uint64_t>(numbers.substr(8));
        record.before.size = getInt<std::int64_t>(numbers.substr(16));
        record.newSize = getInt<std::int64_t>(numbers.substr(24));
        record.before.mtimeNs = getInt<std::int64_t>(numbers.substr(32));
        const auto regionCount = getInt<std::uint32_t>(numbers.substr(40));
        for (std::uint32_t i = 0; i < regionCount; ++i) {
            std::string bounds;
            if (!read(16, bounds)) {
                return std::nullopt;
            }
            hash = fnv(hash, bounds);
            Region region{getInt<std::int64_t>(bounds), getInt<std::int64_t>(bounds.substr(8)),
                          position_};
            if (region.offset < 0 || region.length < 0 || region.offset > record.before.size ||
                region.length > record.before.size - region.offset) {
                return std::nullopt;
            }
            for (std::int64_t done = 0; done < region.length;) {
                std::string chunk;
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
                    region.length - done, static_cast<std::int64_t>(kChunk)));
                if (!read(want, chunk)) {
                    return std::nullopt;
                }
                hash = fnv(hash, chunk);
                done += static_cast<std::int64_t>(want);
            }
            record.regions.push_back(region);
        }
        std::string count;
        if (!read(4, count)) {
            return std::nullopt;
        }
        hash = fnv(hash, count);
        const auto spliceCount = getInt<std::uint32_t>(count);
        for (std::uint32_t i = 0; i < spliceCount; ++i) {
            std::string head;
            if (!read(24, head)) {
                return std::nullopt;
            }
            hash = fnv(hash, head);
            const auto byteCount = getInt<std::uint64_t>(std::string_view(head).substr(16));
            std::string bytes;
            if (byteCount > kGroupBytes || !read(static_cast<std::size_t>(byteCount), bytes)) {
                return std::nullopt;
            }
            hash = fnv(hash, bytes);
            record.splices.push_back({getInt<std::int64_t>(head),
                                      getInt<std::int64_t>(std::string_view(head).substr(8)),
                                      std::move(bytes)});
        }
        std::string sum;
        if (!read(8, sum) || getInt<std::uint64_t>(sum) != hash) {
            return std::nullopt;
        }
        return record;
    }

    bool read(std::size_t size, std::string& out) {
        out.resize(size);
        if (readFullyAt(fd_, out.data(), size, position_) != static_cast<ssize_t>(size)) {
            return false;
        }
        position_ += static_cast<std::int64_t>(size);
        return true;
    }

    int fd_;
    std::int64_t position_ = static_cast<std::int64_t>(kGroupHeader.size());
};

enum class RestoreResult { Unchanged, Restored, LeftAlone, Failed };

bool readJournal(int journalFd, std::int64_t at, std::size_t size, std::string& out) {
    out.resize(size);
    return readFullyAt(journalFd, out.data(), size, at) == static_cast<ssize_t>(size);
}

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

// Whether the file holds only what the journaled write (done, cut short, or its own roll-back
// cut short) can have left; anything else is someone else's later change, not to be undone.
bool holdsOnlyThisWrite(const Record& record, int file, int journalFd, std::int64_t size) {
    const FileChange change{record.path, record.before, record.splices};
    std::string current;
    std::string old;
    const auto regionAt = [&](std::int64_t offset) -> const Region* {
        for (const Region& region : record.regions) {
            if (region.offset == offset) {
                return &region;
            }
        }
        return nullptr;
    };
    const auto readFile = [&](std::int64_t at, std::int64_t length) {
        current.resize(static_cast<std::size_t>(std::max<std::int64_t>(length, 0)));
        const ssize_t got = readFullyAt(file, current.data(), current.size(), at);
        current.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    };
    const std::int64_t moving = change.inPlace() || record.regions.empty()
                                    ? std::numeric_limits<std::int64_t>::max()
                                    : record.regions.back().offset;
    for (const Splice& splice : record.splices) {
        if (splice.offset >= moving) {
            break;
        }
        const bool appended = splice.offset == record.before.size && splice.length == 0;
        if (appended) {
            readFile(splice.offset, size - splice.offset);
            if (!onlyOldOrNew(current, {}, splice.bytes)) {
                return false;
            }
            continue;
        }
        const Region* region = regionAt(splice.offset);
        if (region == nullptr || !readJournal(journalFd, region->journalOffset,
                                              static_cast<std::size_t>(region->length), old)) {
            return false;
        }
        readFile(splice.offset, splice.length);
        if (!onlyOldOrNew(current, old, splice.bytes)) {
            return false;
        }
    }
    if (moving == std::numeric_limits<std::int64_t>::max()) {
        return true;
    }
    // The moving part: the new bytes are the splices with the old bytes between them.
    const Region& region = record.regions.back();
    struct Piece {
        std::int64_t oldOffset;  // -1: from `bytes`
        std::int64_t length;
        const std::string* bytes;
    };
    std::vector<Piece> pieces;
    std::int64_t oldAt = moving;
    for (const Splice& splice : record.splices) {
        if (splice.offset < moving) {
            continue;
        }
        pieces.push_back({oldAt, splice.offset - oldAt, nullptr});
        pieces.push_back({-1, std::ssize(splice.bytes), &splice.bytes});
        oldAt = splice.offset + splice.length;
    }
    pieces.push_back({oldAt, record.before.size - oldAt, nullptr});
    std::int64_t at = moving;
    std::string piece;
    for (const Piece& p : pieces) {
        for (std::int64_t done = 0; done < p.length && at < size;) {
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
                {p.length - done, size - at, static_cast<std::int64_t>(kChunk)}));
            if (p.bytes != nullptr) {
                piece = p.bytes->substr(static_cast<std::size_t>(done), want);
            } else if (!readJournal(journalFd, region.journalOffset + (p.oldOffset + done - moving),
                                    want, piece)) {
                return false;
            }
            const std::int64_t oldLength = std::clamp<std::int64_t>(
                record.before.size - at, 0, static_cast<std::int64_t>(want));
            if (!readJournal(journalFd, region.journalOffset + (at - moving),
                             static_cast<std::size_t>(oldLength), old)) {
                return false;
            }
            readFile(at, static_cast<std::int64_t>(want));
            if (current.size() != want || !onlyOldOrNew(current, old, piece)) {
                return false;
            }
            done += static_cast<std::int64_t>(want);
            at += static_cast<std::int64_t>(want);
        }
    }
    // Past the new end only old bytes can stand.
    while (at < size) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(size - at, static_cast<std::int64_t>(kChunk)));
        const std::int64_t oldLength =
            std::clamp<std::int64_t>(record.before.size - at, 0, static_cast<std::int64_t>(want));
        if (!readJournal(journalFd, region.journalOffset + (at - moving),
                         static_cast<std::size_t>(oldLength), old)) {
            return false;
        }
        readFile(at, static_cast<std::int64_t>(want));
        if (!onlyOldOrNew(current, old, {})) {
            return false;
        }
        at += static_cast<std::int64_t>(want);
    }
    return true;
}

// Puts a file back as the record says it was, touching only bytes that differ.
RestoreResult restore(const Record& record, int journalFd) {
    const UniqueFd file = openForWriting(record.path);
    if (!file) {
        return errno == ENOENT || errno == ENOTDIR ? RestoreResult::LeftAlone
                                                   : RestoreResult::Failed;
    }
    // A write cut short while moving the audio leaves a size between the old and the new one.
    const auto now = identityOf(file.get());
    const std::int64_t smallest = std::min(record.before.size, record.newSize);
    const std::int64_t largest = std::max(record.before.size, record.newSize);
    if (!now || now->device != record.before.device || now->inode != record.before.inode ||
        now->size < smallest || now->size > largest ||
        !holdsOnlyThisWrite(record, file.get(), journalFd, now->size)) {
        return RestoreResult::LeftAlone;
    }
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
            const ssize_t got = readFullyAt(file.get(), current.data(), want, region.offset + done);
            if (got < 0) {
                return RestoreResult::Failed;
            }
            current.resize(static_cast<std::size_t>(got));
            if (current != original) {
                if (!writeAllAt(file.get(), original, region.offset + done)) {
                    return RestoreResult::Failed;
                }
                changed = true;
            }
            done += static_cast<std::int64_t>(want);
        }
    }
    if (now->size != record.before.size) {
        if (::ftruncate(file.get(), record.before.size) != 0) {
            return RestoreResult::Failed;
        }
        changed = true;
    }
    if (changed && ::fdatasync(file.get()) != 0) {
        return RestoreResult::Failed;
    }
    return changed ? RestoreResult::Restored : RestoreResult::Unchanged;
}

// The regions of the original file a change overwrites: each splice's bytes, and everything
// from the first splice that changes the size to the end when the rest must move.
std::vector<std::pair<std::int64_t, std::int64_t>> regionsOf(const FileChange& change) {
    std::vector<std::pair<std::int64_t, std::int64_t>> regions;
    const std::int64_t size = change.before.size;
    for (const Splice& s : change.splices) {
        const bool sameSize = static_cast<std::int64_t>(s.bytes.size()) == s.length;
        const bool appended = s.offset == size && s.length == 0;
        if (sameSize || (appended && change.inPlace())) {
            regions.emplace_back(s.offset, s.length);
            continue;
        }
        regions.emplace_back(s.offset, size - s.offset);
        break;
    }
    return regions;
}

}  // namespace

std::optional<FileIdentity> identityOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        info.st_size,
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::int64_t FileChange::sizeAfter() const {
    std::int64_t size = before.size;
    for (const Splice& s : splices) {
        size += static_cast<std::int64_t>(s.bytes.size()) - s.length;
    }
    return size;
}

bool FileChange::inPlace() const {
    int appends = 0;
    for (const Splice& s : splices) {
        if (s.offset == before.size && s.length == 0) {
            ++appends;
        } else if (static_cast<std::int64_t>(s.bytes.size()) != s.length) {
            return false;
        }
    }
    return appends <= 1;
}

std::optional<UserMessage> rollbackMessage(const RollbackReport& report) {
    if (report.restored == 0 && report.leftAlonePaths.empty()) {
        return std::nullopt;
    }
    std::string text;
    if (report.restored > 0) {
        text = std::to_string(report.restored) +
               (report.restored == 1 ? " file was" : " files were") +
               " put back as it was before a tag write that was cut short.";
    }
    if (!report.leftAlonePaths.empty()) {
        if (!text.empty()) {
            text += '\n';
        }
        text +=
            "These files were changed or removed since a tag write that was cut short, or "
            "could not be written, and were left as they are:";
        for (const std::string& path : report.leftAlonePaths) {
            text += '\n' + path;
        }
    }
    return UserMessage{
        std::move(text), captionFor("Files Restored"),
        report.leftAlonePaths.empty() ? MessageIcon::Information : MessageIcon::Warning};
}

WriteJournal::WriteJournal(Key, fs::path folder, std::uint64_t cap)
    : folder_(std::move(folder)), cap_(cap) {}

WriteJournal::~WriteJournal() = default;

std::unique_ptr<WriteJournal> WriteJournal::open(fs::path folder, std::uint64_t cap) {
    auto journal = std::make_unique<WriteJournal>(Key(), std::move(folder), cap);
    // A journal that was never written holds nothing to roll back; it is made by the first write.
    std::error_code error;
    if (fs::exists(journal->folder_, error)) {
        (void)journal->lock();
    }
    return journal;
}

bool WriteJournal::lock() {
    if (lock_) {
        return true;
    }
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) {
        error_ = "The write journal " + folder_.string() + " could not be made: " + error.message();
        return false;
    }
    UniqueFd lock(::open((folder_ / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    int locked = -1;
    while (lock && (locked = ::flock(lock.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (!lock || locked != 0) {
        error_ = "The write journal " + folder_.string() +
                 " could not be opened: " + std::strerror(errno);
        return false;
    }
    lock_ = std::move(lock);
    error_.clear();
    rollBackUnfinished();
    return true;
}

void WriteJournal::rollBackUnfinished() {
    std::set<std::string> leftAlone(rollback_.leftAlonePaths.begin(),
                                    rollback_.leftAlonePaths.end());
    for (const fs::path& batch : numberedEntries(folder_, kBatchPrefix)) {
        const std::vector<fs::path> groups = numberedEntries(batch, kGroupPrefix);
        // Newest first, so that a file changed twice ends as it was before both.
        for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
            const UniqueFd fd(::open(group->c_str(), O_RDONLY | O_CLOEXEC));
            if (!fd) {
                continue;
            }
            GroupReader reader(fd.get());
            std::vector<Record> records;
            if (reader.readHeader()) {
                while (auto record = reader.next()) {
                    records.push_back(std::move(*record));
                }
            }
            if (reader.atDoneTrailer()) {
                continue;
            }
            bool keep = false;
            for (auto record = records.rbegin(); record != records.rend(); ++record) {
                switch (restore(*record, fd.get())) {
                    case RestoreResult::Restored:
                        ++rollback_.restored;
                        break;
                    case RestoreResult::Unchanged:
                        break;
                    case RestoreResult::LeftAlone:
                        leftAlone.insert(record->path);
                        break;
                    case RestoreResult::Failed:
                        // Kept for the next open: the original bytes are nowhere else.
                        leftAlone.insert(record->path);
                        keep = true;
                        break;
                }
            }
            if (!keep) {
                std::error_code error;
                fs::remove(*group, error);
                (void)syncFolder(batch);
            }
        }
    }
    rollback_.leftAlonePaths.assign(leftAlone.begin(), leftAlone.end());
}

fs::path WriteJournal::startBatch() {
    if (!lock()) {
        return {};
    }
    const std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    std::uint64_t next = 1;
    if (!batches.empty()) {
        next = numberOf(batches.back().filename().native(), kBatchPrefix).value_or(0) + 1;
    }
    fs::path batch = folder_ / numbered(kBatchPrefix, next, 12);
    std::error_code error;
    if (!fs::create_directory(batch, error) || error || !syncFolder(folder_)) {
        error_ = "The write journal " + folder_.string() + " could not be written: " +
                 (error ? error.message() : std::string(std::strerror(errno)));
        return {};
    }
    return batch;
}

void WriteJournal::pruneBatches(const fs::path& keep) {
    std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    std::erase(batches, keep);
    const std::size_t drop = batches.size() > static_cast<std::size_t>(kBatchesKept - 1)
                                 ? batches.size() - static_cast<std::size_t>(kBatchesKept - 1)
                                 : 0;
    for (std::size_t i = 0; i < drop; ++i) {
        // A batch with an unfinished group holds the only copy of some file's old bytes.
        bool unfinished = false;
        for (const fs::path& group : numberedEntries(batches[i], kGroupPrefix)) {
            const UniqueFd fd(::open(group.c_str(), O_RDONLY | O_CLOEXEC));
            GroupReader reader(fd.get());
            if (!fd || !reader.readHeader()) {
                continue;
            }
            while (reader.next()) {
            }
            unfinished = unfinished || !reader.atDoneTrailer();
        }
        if (!unfinished) {
            std::error_code error;
            fs::remove_all(batches[i], error);
        }
    }
}

JournaledBatch::JournaledBatch(WriteJournal& journal, Done done)
    : journal_(journal), done_(std::move(done)) {}

JournaledBatch::~JournaledBatch() {
    finish();
}

void JournaledBatch::add(FileChange change) {
    if (finished_) {
        done_(change, WriteOutcome::Failed);
        return;
    }
    if (change.splices.empty()) {
        done_(change, WriteOutcome::Written);
        return;
    }
    for (const auto& [offset, length] : regionsOf(change)) {
        (void)offset;
        queuedBytes_ += static_cast<std::uint64_t>(length);
    }
    queued_.push_back(std::move(change));
    if (queued_.size() >= kGroupFiles || queuedBytes_ >= kGroupBytes) {
        writeGroup();
    }
}

void JournaledBatch::finish() {
    if (finished_) {
        return;
    }
    writeGroup();
    finished_ = true;
    if (!folder_.empty()) {
        journal_.pruneBatches(folder_);
    }
}

namespace {

// Writes a change over the open file; the original bytes of its regions are in the journal.
bool applyChange(const FileChange& change, int file, int journalFd,
                 const std::vector<Region>& regions) {
    if (change.inPlace()) {
        for (const Splice& s : change.splices) {
            if (!writeAllAt(file, s.bytes, s.offset)) {
                return false;
            }
        }
        return true;
    }
    // The moving part is rebuilt from the journal's copy, so overwriting the file as we go
    // cannot destroy bytes still to be copied.
    const Region& moving = regions.back();
    std::int64_t out = moving.offset;
    std::int64_t position = moving.offset;
    std::string buffer;
    auto copyOriginal = [&](std::int64_t to) {
        while (position < to) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(to - position, static_cast<std::int64_t>(kChunk)));
            buffer.resize(want);
            if (readFullyAt(journalFd, buffer.data(), want,
                            moving.journalOffset + (position - moving.offset)) !=
                    static_cast<ssize_t>(want) ||
                !writeAllAt(file, buffer, out)) {
                return false;
            }
            position += static_cast<std::int64_t>(want);
            out += static_cast<std::int64_t>(want);
        }
        return true;
    };
    for (const Splice& s : change.splices) {
        if (s.offset < moving.offset) {
            if (!writeAllAt(file, s.bytes, s.offset)) {
                return false;
            }
            continue;
        }
        if (!copyOriginal(s.offset) || !writeAllAt(file, s.bytes, out)) {
            return false;
        }
        out += static_cast<std::int64_t>(s.bytes.size());
        position = s.offset + s.length;
    }
    return copyOriginal(change.before.size) &&
           (out >= change.before.size || ::ftruncate(file, out) == 0);
}

// Makes the group's written data durable: one sync of each file system when several files
// changed (a sync can cost milliseconds on a USB stick), else the one file's. Returns the
// files whose data may not have reached the disk.
std::vector<std::size_t> unsyncedFiles(const std::vector<UniqueFd>& files,
                                       const std::vector<WriteOutcome>& outcomes,
                                       const std::vector<FileChange>& group) {
    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i] && outcomes[i] == WriteOutcome::Written) {
            written.push_back(i);
        }
    }
    std::vector<std::size_t> unsynced;
    if (written.size() == 1) {
        if (::fdatasync(files[written.front()].get()) != 0) {
            unsynced.push_back(written.front());
        }
        return unsynced;
    }
    std::vector<std::pair<std::uint64_t, bool>> devices;  // device, synced
    for (const std::size_t i : written) {
        const std::uint64_t device = group[i].before.device;
        auto known = std::find_if(devices.begin(), devices.end(),
                                  [device](const auto& d) { return d.first == device; });
        if (known == devices.end()) {
            devices.emplace_back(device, ::syncfs(files[i].get()) == 0);
            known = devices.end() - 1;
        }
        if (!known->second) {
            unsynced.push_back(i);
        }
    }
    return unsynced;
}

}  // namespace

void JournaledBatch::writeGroup() {
    std::vector<FileChange> group;
    group.swap(queued_);
    queuedBytes_ = 0;
    if (group.empty()) {
        return;
    }
    std::vector<WriteOutcome> outcomes(group.size(), WriteOutcome::Failed);
    const auto report = [&] {
        for (std::size_t i = 0; i < group.size(); ++i) {
            done_(group[i], outcomes[i]);
        }
    };
    if (folder_.empty()) {
        folder_ = journal_.startBatch();
        if (folder_.empty()) {
            report();
            return;
        }
    }
    // Only files that are still what the plan was made from are written.
    std::vector<UniqueFd> files(group.size());
    for (std::size_t i = 0; i < group.size(); ++i) {
        UniqueFd fd = openForWriting(group[i].path);
        const auto identity = fd ? identityOf(fd.get()) : std::nullopt;
        if (identity && *identity == group[i].before) {
            files[i] = std::move(fd);
        }
    }

    const fs::path groupPath =
        folder_ / numbered(kGroupPrefix, static_cast<std::uint64_t>(++groups_), 6);
    UniqueFd journalFd(::open(groupPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    std::vector<std::vector<Region>> regions(group.size());
    bool journaled = journalFd.valid() && writeAll(journalFd.get(), kGroupHeader);
    std::int64_t position = static_cast<std::int64_t>(kGroupHeader.size());
    std::string chunk;
    for (std::size_t i = 0; journaled && i < group.size(); ++i) {
        if (!files[i]) {
            continue;
        }
        const FileChange& change = group[i];
        std::string head(kRecordMark);
        putInt(head, static_cast<std::uint32_t>(change.path.size()));
        head += change.path;
        putInt(head, change.before.device);
        putInt(head, change.before.inode);
        putInt(head, change.before.size);
        putInt(head, change.sizeAfter());
        putInt(head, change.before.mtimeNs);
        const auto bounds = regionsOf(change);
        putInt(head, static_cast<std::uint32_t>(bounds.size()));
        std::uint64_t hash = fnv(kFnvOffset, head);
        journaled = writeAll(journalFd.get(), head);
        position += static_cast<std::int64_t>(head.size());
        for (const auto& [offset, length] : bounds) {
            std::string numbers;
            putInt(numbers, offset);
            putInt(numbers, length);
            hash = fnv(hash, numbers);
            journaled = journaled && writeAll(journalFd.get(), numbers);
            position += 16;
            regions[i].push_back({offset, length, position});
            for (std::int64_t done = 0; journaled && done < length;) {
                const auto want = static_cast<std::size_t>(
                    std::min<std::int64_t>(length - done, static_cast<std::int64_t>(kChunk)));
                chunk.resize(want);
                journaled = readFullyAt(files[i].get(), chunk.data(), want, offset + done) ==
                                static_cast<ssize_t>(want) &&
                            writeAll(journalFd.get(), chunk);
                hash = fnv(hash, chunk);
                done += static_cast<std::int64_t>(want);
            }
            position += length;
        }
        std::string splices;
        putInt(splices, static_cast<std::uint32_t>(change.splices.size()));
        for (const Splice& splice : change.splices) {
            putInt(splices, splice.offset);
            putInt(splices, splice.length);
            putInt(splices, static_cast<std::uint64_t>(splice.bytes.size()));
            splices += splice.bytes;
        }
        hash = fnv(hash, splices);
        std::string sum;
        putInt(sum, hash);
        journaled =
            journaled && writeAll(journalFd.get(), splices) && writeAll(journalFd.get(), sum);
        position += std::ssize(splices) + 8;
    }
    journaled = journaled && ::fdatasync(journalFd.get()) == 0 && syncFolder(folder_);
    if (!journaled) {
        // Nothing was touched yet.
        journalFd.reset();
        std::error_code error;
        fs::remove(groupPath, error);
        report();
        return;
    }

    bool intact = true;
    const auto putBack = [&](std::size_t i) {
        // A full disk or an I/O error half way: put the file back at once.
        Record record{group[i].path, group[i].before, group[i].sizeAfter(), regions[i],
                      group[i].splices};
        const RestoreResult restored = restore(record, journalFd.get());
        intact =
            intact && restored != RestoreResult::Failed && restored != RestoreResult::LeftAlone;
        outcomes[i] = WriteOutcome::Failed;
    };
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (!files[i]) {
            continue;
        }
        if (applyChange(group[i], files[i].get(), journalFd.get(), regions[i])) {
            outcomes[i] = WriteOutcome::Written;
        } else {
            putBack(i);
        }
    }
    for (std::size_t i : unsyncedFiles(files, outcomes, group)) {
        putBack(i);
    }
    for (UniqueFd& file : files) {
        file.reset();
    }
    if (!intact) {
        // The next open of the journal tries again.
        report();
        return;
    }
    struct stat info {};
    const bool done = writeAll(journalFd.get(), kDoneTrailer) &&
                      ::fdatasync(journalFd.get()) == 0 && ::fstat(journalFd.get(), &info) == 0;
    if (!done) {
        // Without its trailer the group would be rolled back at the next open: take it back
        // now, so that no file is reported written and later found old.
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (outcomes[i] == WriteOutcome::Written) {
                Record record{group[i].path, group[i].before, group[i].sizeAfter(), regions[i],
                              group[i].splices};
                (void)restore(record, journalFd.get());
                outcomes[i] = WriteOutcome::Failed;
            }
        }
        report();
        return;
    }
    keptBytes_ += static_cast<std::uint64_t>(info.st_size);
    if (keptBytes_ > journal_.cap()) {
        // Past the cap: the finished groups go, and with them the way back.
        undoable_ = false;
        for (const fs::path& old : numberedEntries(folder_, kGroupPrefix)) {
            std::error_code error;
            fs::remove(old, error);
        }
        const UniqueFd mark(::open((folder_ / std::string(kPartialMark)).c_str(),
                                   O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        (void)syncFolder(folder_);
    }
    report();
}

}  // namespace tunex
