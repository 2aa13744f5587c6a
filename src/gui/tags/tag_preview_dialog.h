#pragma once

#include "core/tags/tag_preview.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace tunex {

// The planned field changes as a list: file, version, field, old value, new value. Cells are
// made only when shown, so ten thousand files scroll as smoothly as ten.
class TagPreviewModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setPreview(TagPreview preview);
    [[nodiscard]] const TagPreview& preview() const { return preview_; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    TagPreview preview_;
};

// Shows what a tag change would do before anything is written. The plan is worked out off the
// GUI thread while a bar counts the files read; Apply is offered once it is there and something
// would change. Closing the dialog early stops the planning after the file at hand.
class TagPreviewDialog final : public QDialog {
    Q_OBJECT
public:
    using Planner = std::function<TagPreview(PreviewProgress&)>;

    TagPreviewDialog(const QString& action, Planner planner, QWidget* parent = nullptr);
    ~TagPreviewDialog() override;
    Q_DISABLE_COPY_MOVE(TagPreviewDialog)

    [[nodiscard]] bool ready() const { return ready_; }
    [[nodiscard]] const TagPreviewModel& model() const { return *model_; }
    [[nodiscard]] QLabel* summaryLabel() const { return summary_; }
    [[nodiscard]] QListWidget* skippedList() const { return skipped_; }
    [[nodiscard]] QPushButton* applyButton() const { return apply_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }
    [[nodiscard]] QProgressBar* progressBar() const { return busy_; }

Q_SIGNALS:
    void planReady();

private:
    void showPlan(TagPreview preview);
    void showProgress();

    TagPreviewModel* model_;
    QTreeView* view_;
    QLabel* summary_;
    QListWidget* skipped_;
    QProgressBar* busy_;
    QPushButton* apply_;
    QPushButton* cancel_;
    QThread* worker_ = nullptr;
    QTimer* progressTimer_;
    std::shared_ptr<PreviewProgress> progress_;
    bool ready_ = false;
};

// "N changes in M files; K files will be left alone", with the folders that could not be read.
[[nodiscard]] QString previewSummaryText(const TagPreview& preview);

}  // namespace tunex
