#include "gui/search/files_page.h"

#include "core/search/files_search.h"
#include "core/search/search_messages.h"
#include "gui/app/app_context.h"
#include "gui/search/export_result.h"
#include "gui/search/search_as_you_type.h"
#include "gui/search/song_row_actions.h"
#include "gui/widgets/page_controls.h"
#include "gui/widgets/result_list.h"
#include "platform/qt/qt_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tunex {

namespace {

// Enter anywhere inside `group` runs `slot`; the sheet keeps it from reaching the controls.
template <typename Slot>
void searchOnEnter(QWidget* group, FilesPage* page, Slot slot) {
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), group);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(enter, &QShortcut::activated, page, slot);
    }
}

}  // namespace

FilesPage::FilesPage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
    auto* results = new QGroupBox(QStringLiteral("Search Results"), this);
    list_ = new ResultList(results);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->addWidget(list_);
    status_ = plainLabel(toQString(kNoSearchPerformed), this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeInputGroup());
    layout->addWidget(makeCollectionGroup());
    layout->addWidget(results, 1);
    layout->addWidget(status_);

    list_->buildColumns(true, context_.settings().showColumns);
    actions_ = new SongRowActions(*list_, context_, SongRowActions::HistoryUpdate::Left);
    refreshCollections();
    connect(&context_, &AppContext::columnsChanged, this, [this] { columnsStale_ = true; });
    connect(&context_, &AppContext::catalogueReloaded, this, &FilesPage::refreshCollections);
    typing_ = new SearchAsYouType(
        context_, {type_, keyword_, dateFrom_, dateTo_, sizeFrom_, sizeTo_},
        [this] { beginInstantSearch(); }, this);
    connect(search_, &QPushButton::clicked, this, &FilesPage::search);
    connect(searchByCd_, &QPushButton::clicked, this, &FilesPage::searchByCd);
    connect(export_, &QPushButton::clicked, this, &FilesPage::exportResult);
}

QWidget* FilesPage::makeInputGroup() {
    auto* group = new QGroupBox(
        QStringLiteral("Search by File Type / File Size / Create Date / Keyword"), this);
    type_ = new QLineEdit(group);
    type_->setPlaceholderText(QStringLiteral("mp3,wma"));
    keyword_ = new QLineEdit(group);
    dateFrom_ = new QLineEdit(toQString(kDateFromInitial), group);
    dateTo_ = new QLineEdit(toQString(kDateToInitial), group);
    dateTo_->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    sizeFrom_ = new QLineEdit(toQString(kSizeFromInitial), group);
    sizeTo_ = new QLineEdit(toQString(kSizeToInitial), group);
    search_ = pageButton(QStringLiteral("&Search "), group);
    export_ = pageButton(QStringLiteral("&Export Result..."), group);
    auto* grid = new QGridLayout(group);
    grid->addWidget(plainLabel(QStringLiteral("File Type:"), group), 0, 0);
    grid->addWidget(type_, 0, 1);
    grid->addWidget(plainLabel(QStringLiteral("Keyword:"), group), 0, 2);
    grid->addWidget(keyword_, 0, 3, 1, 3);
    grid->addWidget(search_, 0, 6);
    grid->addWidget(plainLabel(QStringLiteral("File Date between:"), group), 1, 0);
    grid->addWidget(dateFrom_, 1, 1);
    grid->addWidget(plainLabel(QStringLiteral("to"), group), 1, 2);
    grid->addWidget(dateTo_, 1, 3);
    grid->addWidget(plainLabel(QStringLiteral("File Size (KB) between:"), group), 2, 0);
    grid->addWidget(sizeFrom_, 2, 1);
    grid->addWidget(plainLabel(QStringLiteral("to"), group), 2, 2);
    grid->addWidget(sizeTo_, 2, 3);
    grid->addWidget(export_, 2, 6);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
    searchOnEnter(group, this, &FilesPage::search);
    return group;
}

QWidget* FilesPage::makeCollectionGroup() {
    auto* group = new QGroupBox(QStringLiteral("Search by CD Name"), this);
    collections_ = new QComboBox(group);
    collections_->setMinimumContentsLength(24);
    collections_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    searchByCd_ = pageButton(QStringLiteral("Search by &CD"), group);
    auto* row = new QHBoxLayout(group);
    row->addWidget(plainLabel(QStringLiteral("Available CDs:"), group));
    row->addWidget(collections_, 1);
    row->addWidget(searchByCd_);
    searchOnEnter(group, this, &FilesPage::searchByCd);
    return group;
}

QString FilesPage::statusLine() const {
    return status_->text();
}

void FilesPage::refreshCollections() {
    const QString chosen = collections_->currentText();
    collections_->clear();
    for (const std::string& name : context_.catalogue().collectionNames()) {
        collections_->addItem(toQString(name));
    }
    const int kept = chosen.isEmpty() ? -1 : collections_->findText(chosen, Qt::MatchExactly);
    collections_->setCurrentIndex(kept >= 0 ? kept : (collections_->count() > 0 ? 0 : -1));
}

void FilesPage::activate() {
    refreshCollections();
    if (columnsStale_) {
        columnsStale_ = false;
        list_->buildColumns(true, context_.settings().showColumns);
    }
}

void FilesPage::setWindowMaximized(bool maximized) {
    Page::setWindowMaximized(maximized);
    list_->setMaximised(maximized);
}

bool FilesPage::instantSearchPending() const {
    return typing_->isPending();
}

FilesQuery FilesPage::typedQuery() const {
    FilesQuery query;
    query.types = toStdString(type_->text());
    query.keyword = toStdString(keyword_->text());
    query.dateFrom = toStdString(dateFrom_->text());
    query.dateTo = toStdString(dateTo_->text());
    query.sizeFrom = toStdString(sizeFrom_->text());
    query.sizeTo = toStdString(sizeTo_->text());
    return withInitialBoundsOpen(std::move(query));
}

void FilesPage::search() {
    runAndShow(typedQuery());
}

void FilesPage::beginInstantSearch() {
    FilesQuery query = typedQuery();
    // Search says what is wrong with such input, such as a date typed halfway; typing leaves the
    // list as it is.
    if (checkFilesQuery(query).refusal) {
        return;
    }
    typing_->run(
        [&catalogue = context_.catalogue(), paths = context_.paths(),
         settings = searchSettingsFrom(context_.settings()), columns = list_->columns(),
         query = std::move(query)](const std::stop_token& stop) {
            return runFilesSearch(catalogue, paths, settings, columns, query, stop);
        },
        [this](SearchOutcome outcome) { showInstantResult(std::move(outcome)); });
}

void FilesPage::showInstantResult(SearchOutcome outcome) {
    // A lost collection file is told when the user presses Search; the columns may have been
    // rebuilt while the search ran.
    if (outcome.kind != SearchOutcome::Kind::Done || outcome.table.columns != list_->columns()) {
        return;
    }
    list_->setTable(std::move(outcome.table));
    status_->setText(toQString(outcome.statusLine));
    Q_EMIT instantResultShown();
}

void FilesPage::searchByCd() {
    const int chosen = collections_->currentIndex();
    if (chosen < 0) {
        context_.platform().tell(noCdChosenMessage());
        return;
    }
    FilesQuery query;
    query.collection = chosen;
    runAndShow(query);
}

void FilesPage::runAndShow(const FilesQuery& query) {
    typing_->cancel();
    SearchOutcome outcome = [&] {
        const WaitCursor busy;
        return runFilesSearch(context_.catalogue(), context_.paths(),
                              searchSettingsFrom(context_.settings()), list_->columns(), query);
    }();
    if (outcome.kind == SearchOutcome::Kind::Refused) {
        context_.platform().tell(*outcome.message);
        return;
    }
    list_->setTable(std::move(outcome.table));
    if (outcome.kind == SearchOutcome::Kind::Done) {
        status_->setText(toQString(outcome.statusLine));
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
}

void FilesPage::exportResult() {
    exportResultTable(list_->table(), context_);
}

}  // namespace tunex
