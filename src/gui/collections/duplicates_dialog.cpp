#include "gui/collections/duplicates_dialog.h"

#include "gui/app/app_context.h"
#include "gui/widgets/newest_work_runner.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <utility>

namespace tunex {

namespace {

struct KeyEntry {
    const char* text;
    DuplicateKey key;
};

constexpr std::array<KeyEntry, 3> kKeys = {{{"File name and size", DuplicateKey::Name},
                                            {"Title and artist", DuplicateKey::Tags},
                                            {"Size", DuplicateKey::Size}}};

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A group's line: what its copies share, as the first copy shows it.
QString groupText(const DuplicateGroup& group, DuplicateKey key) {
    const DuplicateCopy& first = group.copies.front();
    QString size = text(first.sizeText).trimmed() + QStringLiteral(" KB");
    switch (key) {
        case DuplicateKey::Name:
            return text(first.fileName) + QStringLiteral(", ") + size;
        case DuplicateKey::Tags:
            return text(first.id3Info);
        case DuplicateKey::Size:
            return size;
    }
    return {};
}

}  // namespace

DuplicatesDialog::DuplicatesDialog(AppContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      runner_(new NewestWorkRunner(this)),
      key_(new QComboBox(this)),
      tree_(new QTreeWidget(this)),
      status_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Duplicates"));
    for (const KeyEntry& entry : kKeys) {
        key_->addItem(QString::fromLatin1(entry.text));
    }
    auto* keyLabel = new QLabel(QStringLiteral("Same &song by:"), this);
    keyLabel->setBuddy(key_);
    tree_->setColumnCount(4);
    tree_->setHeaderLabels({QStringLiteral("Disc Name"), QStringLiteral("Path"),
                            QStringLiteral("File Name"), QStringLiteral("File Size(KB)")});
    tree_->setUniformRowHeights(true);
    tree_->header()->setSectionResizeMode(QHeaderView::Interactive);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(keyLabel);
    keyRow->addWidget(key_);
    keyRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(keyRow);
    layout->addWidget(tree_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(760, 480);

    connect(key_, &QComboBox::currentIndexChanged, this, &DuplicatesDialog::search);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // No search may read the catalogue while it changes; the new one is searched afresh.
    connect(&context_, &AppContext::catalogueChangeStarting, runner_,
            &NewestWorkRunner::stopAndWait);
    connect(&context_, &AppContext::catalogueChangeEnded, this, &DuplicatesDialog::search);
    search();
}

// The search reads the catalogue and reports to this dialog: it may not outlive either.
DuplicatesDialog::~DuplicatesDialog() {
    runner_->stopAndWait();
}

QString DuplicatesDialog::statusText() const {
    return status_->text();
}

bool DuplicatesDialog::searching() const {
    return runner_->isRunning();
}

DuplicateKey DuplicatesDialog::chosenKey() const {
    return kKeys.at(static_cast<std::size_t>(std::max(key_->currentIndex(), 0))).key;
}

void DuplicatesDialog::search() {
    tree_->clear();
    status_->setText(QStringLiteral("Searching..."));
    const DuplicateKey key = chosenKey();
    const Catalogue& catalogue = context_.catalogue();
    runner_->start(
        [&catalogue, key](const std::stop_token& stop) {
            return findDuplicates(catalogue, key, stop);
        },
        [this](const DuplicateReport& report) { showReport(report); });
}

void DuplicatesDialog::showReport(const DuplicateReport& report) {
    const DuplicateKey key = chosenKey();
    const std::vector<std::string>& names = context_.catalogue().collectionNames();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(report.groups.size()));
    for (const DuplicateGroup& group : report.groups) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QStringLiteral("%1 (%2 copies)")
                             .arg(groupText(group, key))
                             .arg(static_cast<qulonglong>(group.copies.size())));
        for (const DuplicateCopy& copy : group.copies) {
            auto* child = new QTreeWidgetItem(item);
            child->setText(0, text(names.at(static_cast<std::size_t>(copy.collectionIndex))));
            child->setText(1, text(copy.folder));
            child->setText(2, text(copy.fileName));
            child->setText(3, text(copy.sizeText).trimmed());
            child->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        }
        items.push_back(item);
    }
    tree_->addTopLevelItems(items);
    for (QTreeWidgetItem* item : items) {
        item->setFirstColumnSpanned(true);
    }
    status_->setText(text(duplicatesStatus(report)));
    if (!report.read) {
        context_.platform().tell(duplicatesReadFailedMessage());
    }
}

}  // namespace tunex
