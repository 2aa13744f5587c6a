#pragma once

#include "core/tags/easy_tag.h"

#include <QDialog>

#include <array>
#include <string>

class QButtonGroup;
class QCheckBox;
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
};

// Fills the tags of every music file of the job from the file names, cut by a pattern of up to
// three fields. OK runs them all and closes the dialog; the run cannot be stopped.
class EasyTagDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSlots = 3;

    EasyTagDialog(Platform& platform, WriteJournal& journal, EasyTagJob job,
                  QWidget* parent = nullptr);

    // The pattern as the controls show it; disabled controls still count.
    [[nodiscard]] NameFormat shownFormat() const;

    [[nodiscard]] QCheckBox* basedOnNameBox() const { return basedOnName_; }
    [[nodiscard]] QCheckBox* enableBox(int slot) const { return columns_.at(slot).enable; }
    [[nodiscard]] QRadioButton* choice(int slot, NameField field) const;
    [[nodiscard]] QLineEdit* delimiterEdit(int index) const { return delimiters_.at(index); }
    [[nodiscard]] QCheckBox* v1Box() const { return v1_; }
    [[nodiscard]] QCheckBox* v2Box() const { return v2_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

private:
    struct Column {
        QCheckBox* enable = nullptr;
        QButtonGroup* choices = nullptr;
    };

    [[nodiscard]] QWidget* buildFormatGroup(const NameFormat& initial);
    [[nodiscard]] QWidget* buildTargetGroup(const NameFormat& initial);
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
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace tunex
