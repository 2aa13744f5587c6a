#pragma once

#include "core/tags/tag_tidy.h"
#include "gui/tags/local_scope.h"

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace tunex {

class AppContext;
class Platform;
class ProgressWindow;

// Chooses what Tidy does: a case (or none), the blank and underscore clean-ups, and the fields.
// OK takes the choice when it does something to some field; nothing is written here.
class TidyDialog final : public QDialog {
    Q_OBJECT
public:
    // `files` is how many music files the run will meet, named to the user before OK.
    TidyDialog(Platform& platform, const std::string& folder, int files, QWidget* parent = nullptr);

    // The choice as the controls show it.
    [[nodiscard]] TidyJob shownJob() const;

    [[nodiscard]] QRadioButton* caseButton(TidyCase textCase) const;
    [[nodiscard]] QCheckBox* spacesBox() const { return spaces_; }
    [[nodiscard]] QCheckBox* underscoresBox() const { return underscores_; }
    [[nodiscard]] QCheckBox* fieldBox(TagField field) const;
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

private:
    [[nodiscard]] QWidget* buildCaseGroup();
    [[nodiscard]] QWidget* buildFieldGroup();
    void onOk();

    Platform& platform_;
    std::array<QRadioButton*, 5> cases_{};  // in the order of TidyCase
    QCheckBox* spaces_ = nullptr;
    QCheckBox* underscores_ = nullptr;
    std::array<QCheckBox*, kTidyFields.size()> fields_{};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Tidy over the chosen files under `folder`: the dialog, the preview when the settings ask for
// one, the run off the GUI thread with its progress window (in `shown` while it runs) and the
// result. Whether any file may have changed.
bool tidyChosenFiles(AppContext& context, QWidget* owner, const std::string& folder,
                     ScopeChoice choice, ProgressWindow*& shown);

}  // namespace tunex
