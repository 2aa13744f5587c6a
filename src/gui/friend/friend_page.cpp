#include "gui/friend/friend_page.h"

#include "gui/widgets/page_controls.h"

#include "core/friend/friend_export.h"
#include "core/friend/friend_search.h"
#include "core/store/settings.h"
#include "gui/app/app_context.h"
#include "gui/friend/friend_result_model.h"
#include "gui/widgets/list_colours.h"
#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace tunex {

namespace {

QLabel* fieldLabel(const QString& caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

FriendPage::FriendPage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
    setWindowTitle(QStringLiteral("Friend"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildExportGroup());
    layout->addWidget(buildSearchGroup(), 1);
}

QWidget* FriendPage::buildExportGroup() {
    auto* group = new QGroupBox(QStringLiteral("Export Tunex Friend File"), this);
    name_ = new QLineEdit(group);
    name_->setObjectName(QStringLiteral("friendName"));
    name_->setMinimumWidth(160);
    name_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    email_ = new QLineEdit(group);
    email_->setObjectName(QStringLiteral("friendEmail"));
    email_->setMinimumWidth(200);
    export_ = pageButton(QStringLiteral("&Export"), group);
    connect(export_, &QPushButton::clicked, this, &FriendPage::onExport);

    exportInfo_ = new QLabel(toQString(friendExportInfo(context_.paths())), group);
    exportInfo_->setObjectName(QStringLiteral("exportInfo"));
    exportInfo_->setTextFormat(Qt::PlainText);
    exportInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path must not widen the window; in a narrow one the tool tip shows it in full.
    exportInfo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    exportInfo_->setToolTip(exportInfo_->text());

    auto* fields = new QHBoxLayout;
    fields->addWidget(fieldLabel(QStringLiteral("Your &Name:"), name_, group));
    fields->addWidget(name_);
    fields->addSpacing(12);
    fields->addWidget(fieldLabel(QStringLiteral("E&mail:"), email_, group));
    fields->addWidget(email_, 1);
    fields->addWidget(export_);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(fields);
    layout->addWidget(exportInfo_);
    // Height left over goes to the result list below, never to this group.
    group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    return group;
}

QWidget* FriendPage::buildSearchGroup() {
    auto* group = new QGroupBox(QStringLiteral("Search Tunex Friend"), this);
    file_ = new QLineEdit(group);
    file_->setObjectName(QStringLiteral("friendFile"));
    keyword_ = new QLineEdit(group);
    keyword_->setObjectName(QStringLiteral("friendKeyword"));
    browse_ = pageButton(QStringLiteral("&Browse..."), group);
    search_ = pageButton(QStringLiteral("&Search Friend"), group);
    connect(browse_, &QPushButton::clicked, this, &FriendPage::onBrowse);
    connect(search_, &QPushButton::clicked, this, &FriendPage::onSearch);

    list_ = new QTreeView(group);
    model_ = new FriendResultModel(list_);
    setUpResultList();

    status_ = new QLabel(toQString(kFriendNoSearchStatus), group);
    status_->setObjectName(QStringLiteral("friendStatus"));
    status_->setTextFormat(Qt::PlainText);

    auto* grid = new QGridLayout(group);
    grid->addWidget(fieldLabel(QStringLiteral("File &Destination:"), file_, group), 0, 0);
    grid->addWidget(file_, 0, 1);
    grid->addWidget(browse_, 0, 2);
    grid->addWidget(fieldLabel(QStringLiteral("&Keyword:"), keyword_, group), 1, 0);
    grid->addWidget(keyword_, 1, 1);
    grid->addWidget(search_, 1, 2);
    grid->addWidget(list_, 2, 0, 1, 3);
    grid->addWidget(status_, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    // Both buttons as wide as the wider one, so the edits line up.
    const int buttonWidth = std::max(browse_->sizeHint().width(), search_->sizeHint().width());
    browse_->setMinimumWidth(buttonWidth);
    search_->setMinimumWidth(buttonWidth);
    export_->setMinimumWidth(buttonWidth);
    return group;
}

void FriendPage::setUpResultList() {
    list_->setObjectName(QStringLiteral("friendResults"));
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSortingEnabled(false);  // the page sorts by its own rule
    useInfoListColours(*list_, QColor(0, 0, 132));

    QHeaderView* header = list_->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(true);  // a wide window widens the last column
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QFontMetrics metrics(header->font());
    for (int column = 0; column < kFriendColumnCount; ++column) {
        const FriendColumn& shape = kFriendColumns[static_cast<size_t>(column)];
        // Never narrower than its caption, so every heading can be read.
        const int captionWidth = metrics.horizontalAdvance(toQString(shape.caption)) + 24;
        header->resizeSection(column, std::max(shape.width, captionWidth));
    }
    connect(header, &QHeaderView::sectionClicked, this, &FriendPage::onHeaderClicked);
}

QString FriendPage::exportInfo() const {
    return exportInfo_->text();
}

QString FriendPage::statusText() const {
    return status_->text();
}

void FriendPage::onExport() {
    const FriendExportResult result =
        exportFriendFile(context_.paths(), context_.catalogue().collectionCount(),
                         toStdString(name_->text()), toStdString(email_->text()));
    if (result.outcome == FriendExportOutcome::Exported) {
        exportInfo_->setText(toQString(result.infoText));
        exportInfo_->setToolTip(exportInfo_->text());
    }
    context_.platform().tell(result.message);
}

void FriendPage::onBrowse() {
    FileDialogRequest request;
    request.title = "Open";
    request.filters = {{"Tunex Friend File (*.txf)", "*.txf"}, {"All Files (*)", "*"}};
    request.defaultSuffix = "txf";
    request.initialFolder = context_.paths().friendFolder();
    if (const auto chosen = context_.platform().openFileName(request)) {
        file_->setText(chosenFile_.show(*chosen));
    }
}

void FriendPage::onSearch() {
    FriendSearchResult result;
    {
        const WaitCursor wait;
        result = searchFriendFile(chosenFile_.read(file_->text()).native(),
                                  toStdString(keyword_->text()), context_.settings().maxResults,
                                  accentRuleOf(context_.settings()));
    }
    if (result.outcome == FriendSearchOutcome::Refused ||
        result.outcome == FriendSearchOutcome::NotFound) {
        context_.platform().tell(*result.message);
        return;
    }
    model_->setResults(std::move(result.results));
    list_->header()->setSortIndicatorShown(false);  // fresh rows are in file order
    if (result.message) {
        context_.platform().tell(*result.message);
    }
    status_->setText(toQString(result.status));
    keyword_->setText(toQString(result.keyword));
}

void FriendPage::onHeaderClicked(int column) {
    const bool ascending = sort_.click(column);
    model_->sortByColumn(column, ascending);
    list_->header()->setSortIndicatorShown(true);
    list_->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace tunex
