#pragma once

#include "core/tags/audio_format.h"
#include "core/tags/id3_tags.h"

#include <QDialog>

#include <filesystem>
#include <optional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tunex {

class CoverArea;
class Platform;
struct TagFieldRow;

// The tags of one music file, field by field: both ID3 tags of an mp3, or the one tag of a file of
// another format with the fields that format has room for. Nothing reaches the file before Update.
class TagInfoDialog final : public QDialog {
    Q_OBJECT
public:
    TagInfoDialog(Platform& platform, WriteJournal& journal, std::filesystem::path file,
                  QWidget* parent = nullptr);

    // Whether Update first shows the changes it would make, to apply or go back to editing.
    void setPreview(bool preview) { preview_ = preview; }

    // The fields as shown; genres are selection entries (kGenreUnselected when none is chosen).
    // The one tag of a file that is not an mp3 stands in the V2 group.
    [[nodiscard]] TagFields shownFields() const;

    // Null when the file has one tag; its group's clear button is then clearV2Button.
    [[nodiscard]] QPushButton* clearV1Button() const { return clearV1_; }
    [[nodiscard]] QPushButton* clearV2Button() const { return clearV2_; }
    [[nodiscard]] QPushButton* updateButton() const { return update_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }
    [[nodiscard]] CoverArea* coverArea() const { return cover_; }

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
    // The file's format when it has one tag, shown as a single group.
    std::optional<AudioFormat> single_;
    std::vector<FieldControl> controls_;
    TagFields loaded_;  // what the file held: only fields changed from it are checked
    QPushButton* clearV1_ = nullptr;
    QPushButton* clearV2_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* cancel_ = nullptr;
    CoverArea* cover_ = nullptr;
    bool preview_ = false;
};

}  // namespace tunex
