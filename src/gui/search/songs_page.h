#pragma once

#include "core/search/catalogue_search.h"
#include "gui/app/page.h"

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;
class ResultList;
class SearchAsYouType;
class SongRowActions;

// The Songs tab: search the catalogue by title and artist, list all of it, and export the list.
// Each search is recorded for the History page; a search again from there runs here. While the
// user types, the list shows what Search would find, without the history or the limit notice.
class SongsPage final : public Page {
    Q_OBJECT
public:
    explicit SongsPage(AppContext& context, QWidget* parent = nullptr);

    void activate() override;
    void setWindowMaximized(bool maximized) override;

    void search();
    void listAll();
    void exportResult();

    [[nodiscard]] QLineEdit* titleEdit() const { return title_; }
    [[nodiscard]] QLineEdit* artistEdit() const { return artist_; }
    [[nodiscard]] QPushButton* searchButton() const { return search_; }
    [[nodiscard]] QPushButton* historyButton() const { return history_; }
    [[nodiscard]] QPushButton* listAllButton() const { return listAll_; }
    [[nodiscard]] QPushButton* exportButton() const { return export_; }
    [[nodiscard]] ResultList* resultList() const { return list_; }
    [[nodiscard]] SongRowActions* rowActions() const { return actions_; }
    [[nodiscard]] QString statusLine() const;

    // The search as the user types: runInstantSearch, unless a test puts in one it can hold up.
    using InstantSearcher = std::function<InstantSearch(
        const Catalogue&, const SearchSettings&, const std::vector<ResultColumn>&,
        const std::string& title, const std::string& artist,
        std::shared_ptr<const SearchMatches> previous, const std::stop_token&)>;
    void setInstantSearcher(InstantSearcher searcher) { searcher_ = std::move(searcher); }
    // A search as the user types waits for the pause in the typing or is under way.
    [[nodiscard]] bool instantSearchPending() const;

Q_SIGNALS:
    // The rows of a search as the user types are in the list.
    void instantResultShown();

private:
    void rebuildColumns();
    void searchAgain(const std::string& title, const std::string& artist);
    void beginInstantSearch();
    // No rows, no kept matches, and a status line that says no search stands.
    void clearResults();
    // False when the result was dropped.
    bool showInstantResult(InstantSearch result, const SearchSettings& settings);
    void countInstantMatches(const SearchSettings& settings, const std::string& title,
                             const std::string& artist, std::size_t rows);
    // The kept matches, when they were found with these settings and the list's columns.
    [[nodiscard]] std::shared_ptr<const SearchMatches> usableMatches(
        const SearchSettings& settings) const;

    AppContext& context_;
    QLineEdit* title_;
    QLineEdit* artist_;
    QPushButton* search_;
    QPushButton* history_;
    QPushButton* listAll_;
    QPushButton* export_;
    ResultList* list_;
    QLabel* status_;
    SongRowActions* actions_;
    SearchAsYouType* typing_;
    InstantSearcher searcher_;
    // The newest search as the user typed, to narrow the next one; the catalogue is unchanged
    // since, or they would have been dropped.
    std::shared_ptr<const SearchMatches> matches_;
    SearchSettings matchesSettings_;
    std::vector<ResultColumn> matchesColumns_;
    // The shown columns changed while the page was hidden; they are rebuilt when it is shown.
    bool columnsStale_ = false;
};

}  // namespace tunex
