#include "gui/tags/tag_preview_dialog.h"

#include "platform/qt/screen_fit.h"

#include "platform/qt/qt_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

namespace tunex {

namespace {

constexpr int kColumnCount = 6;
constexpr int kProgressInterval = 100;  // ms

}  // namespace

void TagPreviewModel::setPreview(TagPreview preview) {
    beginResetModel();
    preview_ = std::move(preview);
    endResetModel();
}

int TagPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(preview_.rows.size());
}

int TagPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TagPreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const PreviewRow& row = preview_.rows[static_cast<std::size_t>(index.row())];
    const std::filesystem::path path(row.path);
    if (index.column() < 2 && role == Qt::ToolTipRole) {
        return pathToQString(path);
    }
    switch (index.column()) {
        case 0:
            return pathToQString(path.filename());
        case 1:
            return pathToQString(path.parent_path());
        case 2:
            return toQString(previewTagName(row));
        case 3:
            return toQString(row.field);
        case 4:
            return toQString(row.oldValue);
        default:
            return toQString(row.newValue);
    }
}

QVariant TagPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const std::array<QString, kColumnCount> kCaptions = {
        QStringLiteral("File"),  QStringLiteral("Folder"), QStringLiteral("Tag"),
        QStringLiteral("Field"), QStringLiteral("Now"),    QStringLiteral("After")};
    return section >= 0 && section < kColumnCount ? kCaptions[static_cast<std::size_t>(section)]
                                                  : QVariant();
}

QString previewSummaryText(const TagPreview& preview) {
    return toQString(withUnreadableFoldersNote(
        previewCountsText(preview, "will be left alone") + ".", preview.unreadable));
}

TagPreviewDialog::TagPreviewDialog(const QString& action, Planner planner, QWidget* parent)
    : QDialog(parent),
      model_(new TagPreviewModel(this)),
      view_(new QTreeView(this)),
      summary_(new QLabel(QStringLiteral("Working out the changes..."), this)),
      skipped_(new QListWidget(this)),
      busy_(new QProgressBar(this)),
      apply_(new QPushButton(QStringLiteral("&Apply"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      progressTimer_(new QTimer(this)),
      progress_(std::make_shared<PreviewProgress>()) {
    setWindowTitle(QStringLiteral("Tunex - Preview: ") + action);
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    view_->setModel(model_);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setTextElideMode(Qt::ElideMiddle);
    view_->setAlternatingRowColors(true);
    view_->header()->setStretchLastSection(true);
    skipped_->hide();
    busy_->setRange(0, 0);  // busy until the files are counted
    busy_->setFormat(QStringLiteral("%v of %m files read"));
    busy_->setTextVisible(true);
    apply_->setEnabled(false);
    apply_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(busy_, 1);
    buttons->addStretch(1);
    buttons->addWidget(apply_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(view_, 1);
    layout->addWidget(skipped_);
    layout->addLayout(buttons);
    resize(900, 520);
    keepWithinScreen(*this);

    // The plan only reads files, so stopping it early loses nothing.
    auto result = std::make_shared<TagPreview>();
    worker_ = QThread::create([planner = std::move(planner), result, progress = progress_] {
        *result = planner(*progress);
    });
    connect(worker_, &QThread::finished, this, [this, result] { showPlan(std::move(*result)); });
    connect(worker_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(progressTimer_, &QTimer::timeout, this, &TagPreviewDialog::showProgress);
    progressTimer_->start(kProgressInterval);
    worker_->start();
}

TagPreviewDialog::~TagPreviewDialog() {
    if (worker_ != nullptr && worker_->isRunning()) {
        progress_->stop = true;
        worker_->wait();
    }
}

void TagPreviewDialog::showProgress() {
    const int total = progress_->total;
    if (total >= 0) {
        busy_->setRange(0, total);
        busy_->setValue(progress_->done);
    }
}

void TagPreviewDialog::showPlan(TagPreview preview) {
    worker_ = nullptr;
    progressTimer_->stop();
    showProgress();
    busy_->hide();
    summary_->setText(previewSummaryText(preview));
    for (const SkippedFile& file : preview.skipped) {
        skipped_->addItem(QStringLiteral("Left alone (%1): %2")
                              .arg(toQString(file.reason), pathToQString(file.path)));
    }
    skipped_->setVisible(!preview.skipped.empty());
    apply_->setEnabled(!preview.rows.empty());
    model_->setPreview(std::move(preview));
    // The name is read whole; the folder gets what is left before the values, cut in the middle
    // where folders differ.
    const int width = view_->viewport()->width();
    view_->resizeColumnToContents(0);
    view_->setColumnWidth(0, std::min(view_->columnWidth(0), width / 4));
    view_->resizeColumnToContents(2);
    view_->resizeColumnToContents(3);
    view_->setColumnWidth(1, width / 4);
    view_->setColumnWidth(4, width / 5);
    ready_ = true;
    Q_EMIT planReady();
}

}  // namespace tunex
