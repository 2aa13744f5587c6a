#include "catalogue_generator.h"

#include "bench_support.h"

#include "core/common/atomic_file.h"
#include "core/store/collection_writer.h"
#include "core/store/settings.h"
#include "core/store/song_record.h"
#include "core/store/store_paths.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace tunex::bench {

namespace {

constexpr std::array<std::string_view, 40> kAdjectives = {
    "Blue",   "Silver", "Broken",  "Electric", "Quiet",  "Golden", "Midnight", "Velvet",
    "Hollow", "Wild",   "Crimson", "Distant",  "Frozen", "Little", "Northern", "Paper",
    "Rusty",  "Secret", "Sleepy",  "Stone",    "Sunday", "Tender", "Violet",   "Wooden",
    "Amber",  "Bright", "Cosmic",  "Dusty",    "Empty",  "Fading", "Gentle",   "Heavy",
    "Iron",   "Jade",   "Lonely",  "Lucky",    "Neon",   "Ocean",  "Purple",   "Restless"};

constexpr std::array<std::string_view, 40> kNouns = {
    "Harbour", "Rivers",    "Machines", "Horses", "Lanterns",  "Echoes", "Pilots",  "Sparrows",
    "Tigers",  "Gardens",   "Mirrors",  "Comets", "Engines",   "Wolves", "Shadows", "Islands",
    "Kings",   "Ghosts",    "Daisies",  "Wires",  "Bells",     "Ravens", "Sailors", "Thieves",
    "Lights",  "Mountains", "Radios",   "Saints", "Strangers", "Trains", "Voices",  "Waves",
    "Foxes",   "Dreamers",  "Embers",   "Giants", "Hearts",    "Kites",  "Moths",   "Orchids"};

constexpr std::array<std::string_view, 64> kTitleWords = {
    "Love",    "Night",   "Road",     "Home",    "Rain",    "Fire",  "Summer",  "Heart",
    "Dance",   "Blue",    "Morning",  "Light",   "Song",    "Dream", "River",   "Again",
    "Never",   "Always",  "Tonight",  "Forever", "Down",    "Away",  "Gone",    "Lost",
    "Falling", "Running", "Waiting",  "Call",    "Time",    "Tears", "Smile",   "Cold",
    "City",    "Train",   "Window",   "Letter",  "Ghost",   "Stars", "Moon",    "Sun",
    "Ocean",   "Shadow",  "Memory",   "Angel",   "Devil",   "Sweet", "Bitter",  "Wild",
    "Slow",    "Fast",    "Last",     "First",   "Little",  "Big",   "Golden",  "Silver",
    "Highway", "Kingdom", "Paradise", "Thunder", "Silence", "Echo",  "Horizon", "Mercy"};

// Words for the third of the artists whose names and songs are not plain ASCII: accented Latin,
// Greek, Cyrillic, CJK and Hangul, as a library gathered around the world holds them.
constexpr std::array<std::string_view, 20> kWorldAdjectives = {
    "Schöne", "Große",   "Fröhliche", "Étoilée",  "Señora", "Mañana", "Blå",
    "Øster",  "Śnieżna", "Γαλάζια",   "Ελληνική", "Синяя",  "Тихая",  "Красная",
    "夜の",   "青い",    "静かな",    "푸른",     "Ngọc",   "Çılgın"};

constexpr std::array<std::string_view, 20> kWorldNouns = {
    "Straße",  "Zoë",     "Garçons", "Mädchen", "Corazón",  "Fjäll", "Łódź",
    "Θάλασσα", "Άγγελοι", "Звёзды",  "Волки",   "Ночь",     "夜空",  "桜",
    "東京",    "바다",    "Đêm",     "Rêverie", "İstanbul", "Ørken"};

constexpr std::array<std::string_view, 32> kWorldTitleWords = {
    "Liebe",  "Größe",  "Café", "Noël",  "Été",    "Déjà",  "Niño",   "Canción",
    "Sjö",    "Kärlek", "Ljós", "Żółw",  "Ψυχή",   "Αγάπη", "Όνειρο", "Любовь",
    "Дорога", "Зима",   "Ёлка", "夜空",  "花火",   "雨",    "心",     "ありがとう",
    "사랑",   "하늘",   "Tình", "Şarkı", "Straße", "Zoë",   "Æble",   "Ñandú"};

constexpr int kArtistCount = 2000;

bool isWorldArtist(int artist) {
    return artist % 3 == 1;
}
constexpr int kAlbumsPerArtist = 8;

template <std::size_t Adjectives, std::size_t Nouns>
std::string artistNameFrom(int artist, const std::array<std::string_view, Adjectives>& adjectives,
                           const std::array<std::string_view, Nouns>& nouns) {
    const auto adjective = static_cast<size_t>(artist) % Adjectives;
    const auto noun = static_cast<size_t>(artist) / Adjectives % Nouns;
    std::string name = artist % 3 == 0 ? "The " : "";
    name.append(adjectives[adjective]).append(" ").append(nouns[noun]);
    if (artist >= static_cast<int>(Adjectives * Nouns)) {
        name.append(" ").append(std::to_string(artist / (Adjectives * Nouns) + 1));
    }
    return name;
}

std::string artistName(int artist) {
    if (isWorldArtist(artist)) {
        return artistNameFrom(artist, kWorldAdjectives, kWorldNouns);
    }
    return artistNameFrom(artist, kAdjectives, kNouns);
}

std::string albumName(int artist, int album) {
    const auto first = static_cast<size_t>(artist * 7 + album * 13);
    const auto second = static_cast<size_t>(artist * 11 + album * 5 + 3);
    if (isWorldArtist(artist)) {
        return std::string(kWorldTitleWords[first % kWorldTitleWords.size()])
            .append(" ")
            .append(kWorldNouns[second % kWorldNouns.size()]);
    }
    return std::string(kTitleWords[first % kTitleWords.size()])
        .append(" ")
        .append(kNouns[second % kNouns.size()]);
}

std::string_view titleWord(int artist, std::uint64_t pick) {
    return isWorldArtist(artist) ? kWorldTitleWords[pick % kWorldTitleWords.size()]
                                 : kTitleWords[pick % kTitleWords.size()];
}

struct Song {
    std::string name;  // "Artist - Title"
    std::uint16_t artist = 0;
    std::uint8_t album = 0;
    std::uint8_t extension = 0;
    bool tagged = false;
    std::uint32_t sizeBytes = 0;
    std::int64_t created = 0;
};

constexpr std::array<std::string_view, 4> kExtensions = {"mp3", "mp3", "wma", "MP3"};

Song makeSong(std::mt19937_64& random, bool equalNames) {
    Song song;
    song.artist = static_cast<std::uint16_t>(random() % kArtistCount);
    song.album = static_cast<std::uint8_t>(random() % kAlbumsPerArtist);
    const std::uint64_t kind = random() % 20;
    song.extension = static_cast<std::uint8_t>(kind < 17 ? 0 : kind < 19 ? 2 : 3);
    song.tagged = random() % 5 != 0;
    song.sizeBytes = static_cast<std::uint32_t>(1'500'000 + random() % 9'000'000);
    // 1998 to 2008, when these collections were burnt.
    song.created = 883'612'800 + static_cast<std::int64_t>(random() % 347'000'000);
    if (equalNames) {
        song.name = "Untitled";
        return song;
    }
    song.name = artistName(song.artist).append(" - ");
    const std::uint64_t words = 2 + random() % 3;
    for (std::uint64_t i = 0; i < words; ++i) {
        if (i > 0) {
            song.name.push_back(' ');
        }
        song.name.append(titleWord(song.artist, random()));
    }
    return song;
}

std::string recordLine(const Song& song) {
    const std::string artist = artistName(song.artist);
    const std::string album = albumName(song.artist, song.album);
    FoundFile file;
    file.fileName = song.name + "." + std::string(kExtensions[song.extension]);
    file.folder = "/media/cdrom/" + artist + "/" + album;
    file.sizeBytes = song.sizeBytes;
    file.created = static_cast<std::time_t>(song.created);
    std::string id3;
    if (song.tagged && song.extension != 2) {
        const size_t dash = song.name.find(" - ");
        const std::string_view title = dash == std::string::npos
                                           ? std::string_view(song.name)
                                           : std::string_view(song.name).substr(dash + 3);
        id3.append(title).append(";").append(artist).append(";").append(album).append(";");
    }
    return makeSongRecordLine(file, id3);
}

}  // namespace

std::string_view orderName(NameOrder order) {
    switch (order) {
        case NameOrder::Sorted:
            return "sorted";
        case NameOrder::Random:
            return "random";
        case NameOrder::Equal:
            return "equal";
    }
    return "?";
}

std::string describe(const CatalogueShape& shape) {
    return std::to_string(shape.collections) + " x " + std::to_string(shape.recordsPerCollection) +
           " " + std::string(orderName(shape.order));
}

bool generateCatalogue(const std::filesystem::path& base, const CatalogueShape& shape,
                       std::uint64_t seed, std::string* error) {
    const StorePaths paths(base);
    std::error_code code;
    std::filesystem::create_directories(paths.systemFolder(), code);
    if (code) {
        *error = paths.systemFolder().string() + ": " + code.message();
        return false;
    }

    std::mt19937_64 random(seed);
    const size_t total = static_cast<size_t>(std::max(shape.collections, 0)) *
                         static_cast<size_t>(std::max(shape.recordsPerCollection, 0));
    std::vector<Song> songs;
    songs.reserve(total);
    for (size_t i = 0; i < total; ++i) {
        songs.push_back(makeSong(random, shape.order == NameOrder::Equal));
    }
    if (shape.order == NameOrder::Sorted) {
        // Across the whole catalogue, so every later collection continues the run.
        std::stable_sort(songs.begin(), songs.end(),
                         [](const Song& a, const Song& b) { return a.name < b.name; });
    }

    size_t next = 0;
    for (int c = 0; c < shape.collections; ++c) {
        CollectionWriter writer(paths.collectionFileName(c));
        char name[32];
        std::snprintf(name, sizeof name, "MP3 CD %04d", c + 1);
        bool ok = writer.begin(name);
        for (int r = 0; ok && r < shape.recordsPerCollection; ++r) {
            ok = writer.addRecordLine(recordLine(songs[next++]));
        }
        if (!ok || !writer.finish()) {
            *error = writer.target().string() + ": " + writer.error();
            return false;
        }
    }

    Settings settings;
    settings.totalSongs = static_cast<int>(total);
    settings.collectionCount = shape.collections;
    settings.maxResults = 1000;
    return writeFileAtomically(paths.settingsFile(), renderSettingsFile(settings, {}), error);
}

GeneratedCatalogue::GeneratedCatalogue(const std::filesystem::path& root,
                                       const CatalogueShape& shape, std::uint64_t seed)
    : base_(root / ("catalogue-" + std::to_string(shape.collections) + "x" +
                    std::to_string(shape.recordsPerCollection) + "-" +
                    std::string(orderName(shape.order)))),
      shape_(shape),
      seed_(seed) {}

GeneratedCatalogue::~GeneratedCatalogue() {
    std::error_code ignored;
    std::filesystem::remove_all(base_, ignored);
}

bool GeneratedCatalogue::generate() const {
    const auto done = runInChild([this]() -> std::vector<double> {
        std::string error;
        if (!generateCatalogue(base_, shape_, seed_, &error)) {
            throw std::runtime_error(error);
        }
        return {};
    });
    if (!done && !interrupted()) {
        std::fprintf(stderr, "tunex-bench: could not generate the catalogue %s\n",
                     describe(shape_).c_str());
    }
    return done.has_value();
}

}  // namespace tunex::bench
