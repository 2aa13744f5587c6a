#include "gui/collections/database_page.h"

#include "gui/widgets/page_controls.h"

#include "core/collections/collection_builder.h"
#include "core/collections/collection_delete.h"
#include "core/collections/collection_rename.h"
#include "core/collections/collection_rescan.h"
#include "core/store/workspace.h"
#include "gui/app/app_context.h"
#include "gui/collections/duplicates_dialog.h"
#include "gui/widgets/disabled_window.h"
#include "gui/widgets/drive_folder_tree.h"
#include "gui/widgets/off_thread.h"
#include "gui/widgets/progress_window.h"
#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <memory>

namespace tunex {

namespace {

std::string bytesOf(const QVariant& data) {
    const QByteArray bytes = data.toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

DatabasePage::DatabasePage(AppContext& context, HistoryRowsSource historyRows, QWidget* parent)
    : Page(parent),
      context_(context),
      historyRows_(std::move(historyRows)),
      tree_(new DriveFolderTree(context_.platform(), this)) {
    useTooltipColours(*tree_);
    QWidget* side = makeSide();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addWidget(side);

    // Selection, not the current item: the tree gets a current item merely by taking the focus.
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &DatabasePage::onTreeSelection);
    connect(path_, &QLineEdit::textChanged, this, &DatabasePage::onPathEdited);
    connect(name_, &QLineEdit::textChanged, this, &DatabasePage::onNameEdited);
    connect(count_, &QPushButton::clicked, this, &DatabasePage::onCount);
    connect(add_, &QPushButton::clicked, this, &DatabasePage::onAdd);
    connect(getLabel_, &QPushButton::clicked, this, &DatabasePage::onGetLabel);
    connect(change_, &QPushButton::clicked, this, &DatabasePage::onChange);
    connect(rescan_, &QPushButton::clicked, this, &DatabasePage::onRescan);
    connect(collections_, &QComboBox::currentIndexChanged, this, &DatabasePage::onCollectionChosen);
    connect(delete_, &QPushButton::clicked, this, &DatabasePage::onDelete);
    connect(duplicates_, &QPushButton::clicked, this, &DatabasePage::onDuplicates);

    setMessageText(databaseTipsText());
    fillCollections();
    tree_->expandMyComputer();
}

QWidget* DatabasePage::makeSide() {
    // Everything right of the tree keeps its width; the tree takes what the window gains.
    auto* side = new QWidget(this);
    side->setFixedWidth(QFontMetrics(font()).averageCharWidth() * 56);

    auto* pathLabel = new QLabel(QStringLiteral("CD Source Path:"), side);
    path_ = new QLineEdit(side);
    pathLabel->setBuddy(path_);
    auto* nameLabel = new QLabel(QStringLiteral("CD Collection Name:"), side);
    name_ = new QLineEdit(side);
    nameLabel->setBuddy(name_);
    getLabel_ = pageButton(QStringLiteral("&Get Label"), side);
    count_ = pageButton(QStringLiteral("&Count"), side);
    add_ = pageButton(QStringLiteral("&Add"), side);
    count_->setEnabled(false);
    add_->setEnabled(false);
    id3_ = new QCheckBox(QStringLiteral("Include ID3 Tag Info"), side);
    id3_->setChecked(false);

    auto* collectionLabel = new QLabel(QStringLiteral("Collection:"), side);
    collections_ = new QComboBox(side);
    collections_->setEditable(false);
    collections_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    collections_->setMinimumContentsLength(12);
    collectionLabel->setBuddy(collections_);
    auto* renameLabel = new QLabel(QStringLiteral("Rename:"), side);
    rename_ = new QLineEdit(side);
    renameLabel->setBuddy(rename_);
    change_ = pageButton(QStringLiteral("Change"), side);
    rescan_ = pageButton(QStringLiteral("Re&scan"), side);
    rescan_->setToolTip(QStringLiteral(
        "Reads the collection's folder again (the CD Source Path, or the folder its songs share)"));
    delete_ = pageButton(QStringLiteral("&Delete"), side);
    duplicates_ = pageButton(QStringLiteral("D&uplicates..."), side);
    duplicates_->setToolTip(QStringLiteral("Lists the songs held by more than one collection"));

    auto* messageGroup = new QGroupBox(QStringLiteral("Message"), side);
    message_ = new QPlainTextEdit(messageGroup);
    message_->setReadOnly(true);
    message_->setObjectName(QStringLiteral("databaseMessage"));
    auto* messageLayout = new QVBoxLayout(messageGroup);
    messageLayout->addWidget(message_);

    auto* grid = new QGridLayout;
    grid->addWidget(pathLabel, 0, 0);
    grid->addWidget(path_, 0, 1, 1, 2);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(name_, 1, 1);
    grid->addWidget(getLabel_, 1, 2);
    grid->addWidget(id3_, 2, 0, 1, 2);
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(count_);
    actions->addWidget(add_);
    grid->addLayout(actions, 3, 0, 1, 3);
    grid->setRowMinimumHeight(4, 8);
    grid->addWidget(collectionLabel, 5, 0);
    grid->addWidget(collections_, 5, 1, 1, 2);
    grid->addWidget(renameLabel, 6, 0);
    grid->addWidget(rename_, 6, 1);
    grid->addWidget(change_, 6, 2);
    auto* collectionActions = new QHBoxLayout;
    collectionActions->addStretch(1);
    collectionActions->addWidget(rescan_);
    collectionActions->addWidget(delete_);
    collectionActions->addWidget(duplicates_);
    grid->addLayout(collectionActions, 7, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addLayout(grid);
    sideLayout->addWidget(messageGroup, 1);
    return side;
}

void DatabasePage::activate() {
    if (isVisible()) {
        askWelcome();
    } else {
        welcomePending_ = true;
    }
}

void DatabasePage::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    if (welcomePending_) {
        welcomePending_ = false;
        // Let the window appear first, so the question has something to stand over.
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) {
                askWelcome();
            }
        });
    }
}

void DatabasePage::askWelcome() {
    if (context_.catalogue().collectionCount() != 0) {
        return;
    }
    const MessageAnswer answer =
        context_.platform().showMessage({welcomeQuestion(), MessageButtons::YesNo});
    if (answer == MessageAnswer::Yes) {
        // The user asked for it: a help page that cannot be shown is said so.
        context_.openHelpPage(kAddHelpPage);
    }
}

QString DatabasePage::messageText() const {
    return message_->toPlainText();
}

void DatabasePage::setMessageText(std::string_view text) {
    message_->setPlainText(toQString(text));
}

std::vector<HistoryRow> DatabasePage::historyRows() const {
    return historyRows_ ? historyRows_() : context_.workspace().settingsFile().readHistoryRows();
}

std::string DatabasePage::pathText() const {
    return treePath_.read(path_->text()).native();
}

std::string DatabasePage::selectedCollection() const {
    const int index = collections_->currentIndex();
    return index < 0 ? std::string() : bytesOf(collections_->itemData(index));
}

void DatabasePage::fillCollections() {
    collections_->clear();
    for (const std::string& name : context_.catalogue().collectionNames()) {
        // The name's bytes ride along, so a name that is not valid UTF-8 is still found.
        collections_->addItem(toQString(name), QByteArray::fromStdString(name));
    }
    collections_->setCurrentIndex(collections_->count() > 0 ? 0 : -1);
}

void DatabasePage::onTreeSelection() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QTreeWidgetItem* node = selected.front();
    path_->setText(treePath_.show(DriveFolderTree::nodePath(node)));
    // Writing the box counts as a change even when the text stays the same.
    count_->setEnabled(true);
}

void DatabasePage::onPathEdited() {
    count_->setEnabled(true);
    pathChosen_ = !proposingPath_;
}

void DatabasePage::onCollectionChosen() {
    rename_->setText(collections_->currentText());
    pathChosen_ = false;
}

void DatabasePage::onNameEdited() {
    add_->setEnabled(true);
}

void DatabasePage::onCount() {
    const std::string path = pathText();
    CountOutcome outcome;
    {
        // A large tree takes a while: the window says so and keeps painting.
        const WaitCursor wait;
        const DisabledWindow sheet(window());
        setMessageText("Counting the files under " + path + "...");
        outcome = runOffThread(
            [path, types = context_.fileTypes()] { return countCollection(path, types); });
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
        return;
    }
    setMessageText(outcome.statusText);
}

template <typename Run>
auto DatabasePage::withWalkProgress(const Run& run) {
    QWidget* sheet = window();
    std::unique_ptr<ProgressWindow> progress;
    const auto closeProgress = [&] {
        if (progress) {
            progress->destroy();
            progress.reset();
            sheet->setEnabled(true);
        }
    };

    AddProgress hooks;
    hooks.begin = [&](const std::string& statusText) {
        setMessageText(statusText);
        ProgressWindowOptions options;
        options.title = toQString(kAddingProgressTitle);
        progress = std::make_unique<ProgressWindow>(context_.platform(), this, options);
        // The walk cannot be stopped, and nothing else may start while it runs.
        sheet->setEnabled(false);
        return true;
    };
    hooks.setRange = [&](std::int64_t total) {
        progress->setRange(0, static_cast<int>(std::min<std::int64_t>(total, INT_MAX)), 1);
        progress->setMessage(toQString(kAddingProgressMessage));
        progress->enableStop(false);
    };
    hooks.step = [&](std::int64_t, const std::string&) {
        progress->stepIt();
        progress->pumpMessages(true);
    };
    CatalogueUpdate update;
    update.reloadCatalogue = [&] {
        // The window goes first, so that a failure message is not hidden behind it.
        closeProgress();
        return context_.reloadCatalogue();
    };
    update.storeSettings = [this] { return context_.storeSettings(historyRows()); };
    update.volumes = &volumes_;
    auto outcome = run(hooks, update);
    closeProgress();
    return outcome;
}

void DatabasePage::onAdd() {
    const AddRequest request{toStdString(name_->text()), pathText(), id3_->isChecked()};
    const AddOutcome outcome = [&] {
        // The walk lets events through, timers among them: no search may read the catalogue.
        const CatalogueChange change(context_);
        return withWalkProgress([&](const AddProgress& hooks, const CatalogueUpdate& update) {
            return addCollection(context_.workspace(), context_.fileTypes(), request, hooks,
                                 update);
        });
    }();
    if (outcome.result == AddResult::Added && outcome.catalogueReloaded) {
        fillCollections();
        collections_->setCurrentIndex(collections_->count() - 1);
    }
    if (!outcome.statusText.empty()) {
        setMessageText(outcome.statusText);
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
}

void DatabasePage::onGetLabel() {
    name_->clear();
    QTreeWidgetItem* node = tree_->currentItem();
    LabelSource source = LabelSource::Nothing;
    if (node != nullptr && node->isSelected()) {
        source = DriveFolderTree::kindOf(node) == DriveFolderTree::NodeKind::Drive
                     ? LabelSource::Drive
                     : LabelSource::OtherNode;
    }
    const ProposedLabel label =
        proposeLabel(source, node != nullptr ? toStdString(node->text(0)) : std::string());
    // Writing the box counts as a change even when it stays empty.
    add_->setEnabled(true);
    if (label.message) {
        context_.platform().tell(*label.message);
        return;
    }
    name_->setText(toQString(label.name));
}

bool DatabasePage::passedAndConfirmed(const std::optional<UserMessage>& refusal,
                                      const UserMessage& question) {
    if (refusal) {
        context_.platform().tell(*refusal);
        return false;
    }
    return context_.platform().showMessage({question, MessageButtons::YesNo}) == MessageAnswer::Yes;
}

void DatabasePage::onChange() {
    const std::string oldName = selectedCollection();
    const std::string newName = toStdString(rename_->text());
    const RenameCheck check = checkRename(context_.catalogue().collectionNames(), oldName, newName);
    if (!passedAndConfirmed(check.refusal, check.confirmation)) {
        return;
    }
    RenameOutcome outcome;
    {
        const CatalogueChange change(context_);
        WaitCursor wait;
        CatalogueUpdate update;
        update.reloadCatalogue = [this, &wait] {
            wait.release();
            return context_.reloadCatalogue();
        };
        outcome = renameCollection(context_.workspace(), oldName, newName, update);
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
    if (outcome.renamed && outcome.catalogueReloaded) {
        fillCollections();
        // The renamed collection stays the chosen one.
        const int renamed = collections_->findData(QByteArray::fromStdString(newName));
        if (renamed >= 0) {
            collections_->setCurrentIndex(renamed);
        }
        setMessageText(outcome.statusText);
    }
}

void DatabasePage::onRescan() {
    const std::string name = selectedCollection();
    const std::vector<std::string>& names = context_.catalogue().collectionNames();
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) {
        context_.platform().tell(noCollectionMessage());
        return;
    }
    // The folder the user typed or chose for this collection, else the one its songs share:
    // a path left from an Add or from another collection is not this one's.
    if (!pathChosen_ || pathText().empty()) {
        proposingPath_ = true;
        path_->setText(
            toQString(proposedRescanFolder(context_.workspace().paths().collectionFileName(
                static_cast<int>(found - names.begin())))));
        proposingPath_ = false;
    }
    const AddRequest request{name, pathText(), id3_->isChecked()};
    if (context_.platform().showMessage({rescanQuestion(request), MessageButtons::YesNo}) !=
        MessageAnswer::Yes) {
        return;
    }
    const RescanOutcome outcome = [&] {
        const CatalogueChange change(context_);
        return withWalkProgress([&](const AddProgress& hooks, const CatalogueUpdate& update) {
            return rescanCollection(context_.workspace(), context_.fileTypes(), request, hooks,
                                    update);
        });
    }();
    if (outcome.rescanned && outcome.catalogueReloaded) {
        fillCollections();
        collections_->setCurrentIndex(collections_->findData(QByteArray::fromStdString(name)));
        setMessageText(outcome.statusText);
    } else if (!outcome.rescanned) {
        setMessageText(databaseTipsText());
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
}

void DatabasePage::onDelete() {
    const std::string name = selectedCollection();
    const DeleteCheck check = checkDelete(context_.workspace(), name);
    if (!passedAndConfirmed(check.refusal, check.confirmation)) {
        return;
    }
    DeleteOutcome outcome;
    {
        const CatalogueChange change(context_);
        WaitCursor wait;
        CatalogueUpdate update;
        update.storeSettings = [this] { return context_.storeSettings(historyRows()); };
        update.reloadCatalogue = [this, &wait] {
            wait.release();
            return context_.reloadCatalogue();
        };
        outcome = deleteCollection(context_.workspace(), name, update);
    }
    if (outcome.message) {
        context_.platform().tell(*outcome.message);
    }
    if (outcome.deleted && outcome.catalogueReloaded) {
        fillCollections();
        setMessageText(outcome.statusText);
    }
}

void DatabasePage::onDuplicates() {
    // Window-modal, so no Add or Delete changes the catalogue under the search.
    auto* dialog = new DuplicatesDialog(context_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

}  // namespace tunex
