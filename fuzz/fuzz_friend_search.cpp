// A friend file someone sent: the first bytes give the keyword and the result limit.
#include "core/friend/friend_search.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tunex;
    fuzz::InputReader input(data, size);
    const int maxResults = input.byte() % 8;
    const std::string keyword(input.piece(6));
    const std::filesystem::path file = fuzz::ScratchFolder::path() / "friend.tfr";
    fuzz::writeFile(file, input.rest());

    const FriendSearchResult result = searchFriendFile(file.string(), keyword, maxResults);
    if (checkFriendSearch(file.string(), keyword)) {
        TUNEX_FUZZ_CHECK(result.outcome == FriendSearchOutcome::Refused);
        return 0;
    }
    TUNEX_FUZZ_CHECK(result.outcome == FriendSearchOutcome::Searched ||
                     result.outcome == FriendSearchOutcome::Damaged);
    const FriendResults& found = result.results;
    if (result.outcome == FriendSearchOutcome::Damaged) {
        TUNEX_FUZZ_CHECK(found.rows.empty());
        return 0;
    }
    TUNEX_FUZZ_CHECK(maxResults == 0 || found.rows.size() <= static_cast<std::size_t>(maxResults));
    for (std::size_t row = 0; row < found.rows.size(); ++row) {
        TUNEX_FUZZ_CHECK(found.rows[row].collection < found.collectionNames.size());
        for (int column = 0; column < kFriendColumnCount; ++column) {
            const std::string cell = found.cell(row, column);
            TUNEX_FUZZ_CHECK(column != 1 || (!cell.empty() && cell.front() == ' '));
        }
    }
    return 0;
}
