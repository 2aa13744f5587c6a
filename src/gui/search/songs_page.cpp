#include "gui/search/songs_page.h"

#include "core/search/catalogue_search.h"
#include "core/search/result_export.h"
#include "core/search/search_messages.h"
#include "gui/app/app_context.h"
#include "gui/search/export_result.h"
#include "gui/search/search_as_you_type.h"
#include "gui/search/song_row_actions.h"
#include "gui/widgets/page_controls.h"
#include "gui/widgets/result_list.h"
#include "platform/qt/qt_text.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tunex {

namespace {

bool sameSettings(const SearchSettings& a, const SearchSettings& b) {
    return a.maxResults == b.maxResults && a.sensitivity == b.sensitivity &&
           a.accents == b.accents && a.sortColumn == b.sortColumn && a.showColumns == b.showColumns;
}

}  // namespace

SongsPage::SongsPage(AppContext& context, QWidget* parent)
    : Page(parent),
      context_(context),
      searcher_([](const Catalogue& catalogue, const SearchSettings& settings,
                   const std::vector<ResultColumn>& columns, const std::string& title,
                   const std::string& artist, const std::shared_ptr<const SearchMatches>& previous,
                   const std::stop_token& stop) {
          return runInstantSearch(catalogue, settings, columns, title, artist, previous, stop,
                                  InstantCount::Later);
      }) {
    auto* inputs = new QGroupBox(QStringLiteral("Search by Song Title / Artist Name"), this);
    title_ = new QLineEdit(inputs);
    artist_ = new QLineEdit(inputs);
    search_ = pageButton(QStringLiteral("&Search"), inputs);
    history_ = pageButton(QStringLiteral("Search &History"), inputs);
    listAll_ = pageButton(QStringLiteral("&List All"), inputs);
    export_ = pageButton(QStringLiteral("&Export Result..."), inputs);
    search_->setEnabled(false);
    auto* grid = new QGridLayout(inputs);
    grid->addWidget(plainLabel(QStringLiteral("Song Title: "), inputs), 0, 0);
    grid->addWidget(title_, 0, 1);
    grid->addWidget(search_, 0, 2);
    grid->addWidget(history_, 0, 3);
    grid->addWidget(plainLabel(QStringLiteral("Artist: "), inputs), 1, 0);
    grid->addWidget(artist_, 1, 1);
    grid->addWidget(listAll_, 1, 2);
    grid->addWidget(export_, 1, 3);
    grid->setColumnStretch(1, 1);

    auto* results = new QGroupBox(QStringLiteral("Search Result"), this);
    list_ = new ResultList(results);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->addWidget(list_);
    status_ = plainLabel(toQString(kNoSearchPerformed), this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputs);
    layout->addWidget(results, 1);
    layout->addWidget(status_);

    list_->buildColumns(true, context_.settings().showColumns);
    actions_ = new SongRowActions(*list_, context_);
    connect(&context_, &AppContext::columnsChanged, this, [this] { columnsStale_ = true; });
    connect(&context_, &AppContext::searchAgainRequested, this, &SongsPage::searchAgain);

    connect(title_, &QLineEdit::textChanged, search_, [this] { search_->setEnabled(true); });
    connect(artist_, &QLineEdit::textChanged, search_, [this] { search_->setEnabled(true); });
    typing_ = new SearchAsYouType(
        context_, {title_, artist_}, [this] { beginInstantSearch(); }, this);
    connect(&context_, &AppContext::catalogueChangeEnded, this, [this] { matches_.reset(); });
    connect(search_, &QPushButton::clicked, this, &SongsPage::search);
    connect(history_, &QPushButton::clicked, this, [this] { context_.showPage(PageId::History); });
    connect(listAll_, &QPushButton::clicked, this, &SongsPage::listAll);
    connect(export_, &QPushButton::clicked, this, &SongsPage::exportResult);
    // Enter anywhere on the page searches; the sheet keeps it from reaching the controls.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, &SongsPage::search);
    }
}

QString SongsPage::statusLine() const {
    return status_->text();
}

void SongsPage::activate() {
    if (columnsStale_) {
        columnsStale_ = false;
        rebuildColumns();
    }
}

void SongsPage::rebuildColumns() {
    typing_->cancel();
    matches_.reset();
    list_->buildColumns(true, context_.settings().showColumns);
    title_->clear();
    artist_->clear();
}

void SongsPage::searchAgain(const std::string& title, const std::string& artist) {
    if (!title.empty() || !artist.empty()) {
        title_->setText(toQString(title));
        artist_->setText(toQString(artist));
        search();
    }
}

void SongsPage::setWindowMaximized(bool maximized) {
    Page::setWindowMaximized(maximized);
    list_->setMaximised(maximized);
}

bool SongsPage::instantSearchPending() const {
    return typing_->isPending();
}

std::shared_ptr<const SearchMatches> SongsPage::usableMatches(
    const SearchSettings& settings) const {
    if (matches_ && sameSettings(settings, matchesSettings_) &&
        list_->columns() == matchesColumns_) {
        return matches_;
    }
    return nullptr;
}

void SongsPage::clearResults() {
    list_->clearRows();
    matches_.reset();
    status_->setText(toQString(kNoSearchPerformed));
}

void SongsPage::beginInstantSearch() {
    std::string title = toStdString(title_->text());
    std::string artist = toStdString(artist_->text());
    if (const auto refusal = checkSearchTerms(title, artist)) {
        // Emptied boxes leave the list as it is; terms that cannot be searched leave no older
        // search's rows under them (nor for Export to save under their name).
        if (!title.empty() || !artist.empty()) {
            typing_->cancel();
            clearResults();
            status_->setText(toQString(refusal->text));
        }
        return;
    }
    const SearchSettings settings = searchSettingsFrom(context_.settings());
    typing_->run(
        [searcher = searcher_, &catalogue = context_.catalogue(), settings,
         columns = list_->columns(), title, artist,
         previous = usableMatches(settings)](const std::stop_token& stop) {
            return searcher(catalogue, settings, columns, title, artist, previous, stop);
        },
        [this, settings, title, artist](InstantSearch result) {
            const bool countPending = result.countPending;
            const std::size_t rows = result.outcome.table.rows.size();
            if (showInstantResult(std::move(result), settings) && countPending) {
                countInstantMatches(settings, title, artist, rows);
            }
        });
}

void SongsPage::countInstantMatches(const SearchSettings& settings, const std::string& title,
                                    const std::string& artist, std::size_t rows) {
    // The rows are shown; the true count follows unless the user types on.
    typing_->run(
        [&catalogue = context_.catalogue(), settings, title, artist](const std::stop_token& stop) {
            return countSongMatches(catalogue, settings, title, artist, stop);
        },
        [this, settings, title, artist, rows](std::optional<SongMatchCount> count) {
            if (count) {
                status_->setText(toQString(searchStatusLine(rows, count->found, title, artist)));
                // The next keystroke narrows these rather than reading the catalogue again.
                matches_ = std::move(count->matches);
                matchesSettings_ = settings;
                matchesColumns_ = list_->columns();
            }
        });
}

bool SongsPage::showInstantResult(InstantSearch result, const SearchSettings& settings) {
    // A lost collection file is told when the user presses Search; the columns may have been
    // rebuilt while the search ran.
    if (result.stopped || result.outcome.kind != SearchOutcome::Kind::Done ||
        result.outcome.table.columns != list_->columns()) {
        return false;
    }
    list_->setTable(std::move(result.outcome.table));
    status_->setText(toQString(result.outcome.statusLine));
    matches_ = std::move(result.matches);
    matchesSettings_ = settings;
    matchesColumns_ = list_->columns();
    Q_EMIT instantResultShown();
    return true;
}

void SongsPage::search() {
    typing_->cancel();
    const std::string title = toStdString(title_->text());
    const std::string artist = toStdString(artist_->text());
    const SearchSettings settings = searchSettingsFrom(context_.settings());
    SearchOutcome outcome = [&] {
        const WaitCursor busy;
        // What the user typed was searched already: the rows come from those matches.
        return runInstantSearch(context_.catalogue(), settings, list_->columns(), title, artist,
                                usableMatches(settings))
            .outcome;
    }();
    if (outcome.kind == SearchOutcome::Kind::Refused) {
        if (!title.empty() || !artist.empty()) {
            clearResults();
        }
        context_.platform().tell(*outcome.message);
        return;
    }
    list_->setTable(std::move(outcome.table));
    if (outcome.kind == SearchOutcome::Kind::Failed) {
        context_.platform().tell(*outcome.message);
        return;
    }
    status_->setText(toQString(outcome.statusLine));
    context_.recordSearch(outcome.summary.value_or(SearchSummary{}));
    matches_.reset();
    title_->clear();
    artist_->clear();
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
}

void SongsPage::listAll() {
    typing_->cancel();
    title_->clear();
    artist_->clear();
    list_->clearRows();
    SearchOutcome outcome = [&] {
        const WaitCursor busy;
        return runListAll(context_.catalogue(), searchSettingsFrom(context_.settings()),
                          list_->columns());
    }();
    list_->setTable(std::move(outcome.table));
    if (outcome.kind == SearchOutcome::Kind::Done) {
        status_->setText(toQString(outcome.statusLine));
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
}

void SongsPage::exportResult() {
    exportResultTable(list_->table(), context_);
}

}  // namespace tunex
