#pragma once

#include "core/tags/id3_tags.h"

#include <QDialog>

#include <filesystem>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tunex {

class Platform;
struct TagFieldRow;

// Both ID3 tags of one mp3 file, field by field. Nothing reaches the file before Update.
class TagInfoDialog final : public QDialog {
    Q_OBJECT
public:
    TagInfoDialog(Platform& platform, WriteJournal& journal, std::filesystem::path file,
                  QWidget* parent = nullptr);

    // Whether Update first shows the changes it would make, to apply or go back to editing.
    void setPreview(bool preview) { preview_ = preview; }

    // The fields as shown; genres are selection entries (kGenreUnselected when none is chosen).
    [[nodiscard]] TagFields shownFields() const;

    [[nodiscard]] QPushButton* clearV1Button() const { return clearV1_; }
    [[nodiscard]] QPushButton* clearV2Button() const { return clearV2_; }
    [[nodiscard]] QPushButton* updateButton() const { return update_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

private:
    // A field's control: a line edit for text, a selection list for the genre.
    struct FieldControl {
        const TagFieldRow* row = nullptr;
        QLineEdit* edit = nullptr;
        QComboBox* genre = nullptr;
    };

    [[nodiscard]] QWidget* buildGroup(TagVersion version, QPushButton*& clear);
    void showFields(const TagFields& fields, TagVersion version);
    void onClearV1();
    void onClearV2();
    void onUpdate();

    Platform& platform_;
    WriteJournal& journal_;
    std::filesystem::path file_;
    std::vector<FieldControl> controls_;
    QPushButton* clearV1_ = nullptr;
    QPushButton* clearV2_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool preview_ = false;
};

}  // namespace tunex
