#pragma once

#include "core/tags/easy_tag.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tunex {

class Platform;

// What the Local page hands to EasyTag.
struct EasyTagJob {
    // The files: the tree node's folder (its path as the messages show it), or the rows the
    // user chose of its list.
    TagScope scope;
    std::string settingsFileTypes;  // the settings' file-type list, which steps the progress
    bool preview = false;           // OK shows the planned changes first, to apply or not
    std::string sampleFile;         // the file whose name the dialog reads as the user types
};

// Fills the tags of every music file of the job from the file names, cut by up to three fields
// and their delimiters or by a typed pattern, showing what one name gives as the user types. OK
// runs them all and closes the dialog; the run cannot be stopped.
class EasyTagDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSlots = 3;

    EasyTagDialog(Platform& platform, WriteJournal& journal, EasyTagJob job,
                  QWidget* parent = nullptr);

    // The format as the controls show it; disabled controls still count. A pattern is in it when
    // its box is checked and the text is one.
    [[nodiscard]] NameFormat shownFormat() const;
    // Why the checked pattern's text is no pattern; nothing when it is one or is not checked.
    [[nodiscard]] std::optional<std::string> patternError() const;

    [[nodiscard]] QCheckBox* basedOnNameBox() const { return basedOnName_; }
    [[nodiscard]] QCheckBox* enableBox(int slot) const { return columns_.at(slot).enable; }
    [[nodiscard]] QRadioButton* choice(int slot, NameField field) const;
    [[nodiscard]] QLineEdit* delimiterEdit(int index) const { return delimiters_.at(index); }
    [[nodiscard]] QCheckBox* v1Box() const { return v1_; }
    [[nodiscard]] QCheckBox* v2Box() const { return v2_; }
    [[nodiscard]] QGroupBox* patternGroup() const { return patternGroup_; }
    [[nodiscard]] QLineEdit* patternEdit() const { return pattern_; }
    [[nodiscard]] QLabel* sampleLabel() const { return sample_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

private:
    struct Column {
        QCheckBox* enable = nullptr;
        QButtonGroup* choices = nullptr;
    };

    [[nodiscard]] QWidget* buildFormatGroup(const NameFormat& initial);
    [[nodiscard]] QWidget* buildTargetGroup(const NameFormat& initial);
    [[nodiscard]] QWidget* buildPatternGroup();
    void updateSample();
    void onEnableClicked(int slot, bool enabled);
    void onOk();

    Platform& platform_;
    WriteJournal& journal_;
    EasyTagJob job_;
    QCheckBox* basedOnName_ = nullptr;
    std::array<Column, kSlots> columns_{};
    std::array<QLineEdit*, 2> delimiters_{};
    QCheckBox* v1_ = nullptr;
    QCheckBox* v2_ = nullptr;
    QWidget* formatGroup_ = nullptr;
    QGroupBox* patternGroup_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QLabel* sample_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace tunex
