#pragma once

#include "core/tags/tag_walk.h"

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;

// Names the music files of a scope from their tags by a typed pattern, showing what the first
// file would be called as the user types. OK shows every old and new name first; Apply renames
// them through the write journal, and the collections that list them follow.
class RenameFromTagsDialog final : public QDialog {
    Q_OBJECT
public:
    RenameFromTagsDialog(AppContext& context, TagScope scope, std::string sampleFile,
                         QWidget* parent = nullptr);

    [[nodiscard]] QLineEdit* patternEdit() const { return pattern_; }
    [[nodiscard]] QLabel* sampleLabel() const { return sample_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

private:
    void updateSample();
    void onOk();

    AppContext& context_;
    TagScope scope_;
    std::string sampleFile_;
    QLineEdit* pattern_;
    QLabel* sample_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// "Tunex - Name Files from Tags under " + folder.
[[nodiscard]] std::string renameDialogCaption(std::string_view folder);

}  // namespace tunex
