#include "gui/search/songs_page.h"

#include "core/search/catalogue_search.h"
#include "core/search/result_export.h"
#include "core/search/search_messages.h"
#include "gui/app/app_context.h"
#include "gui/search/export_result.h"
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

SongsPage::SongsPage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
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

void SongsPage::search() {
    const std::string title = toStdString(title_->text());
    const std::string artist = toStdString(artist_->text());
    SearchOutcome outcome = [&] {
        const WaitCursor busy;
        return runSongSearch(context_.catalogue(), searchSettingsFrom(context_.settings()),
                             list_->columns(), title, artist);
    }();
    if (outcome.kind == SearchOutcome::Kind::Refused) {
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
    title_->clear();
    artist_->clear();
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
}

void SongsPage::listAll() {
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
