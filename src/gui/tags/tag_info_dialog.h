#pragma once

#include "core/tags/id3_tags.h"

#include <QDialog>

#include <filesystem>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tunex {

class Platform;

// Both ID3 tags of one mp3 file, field by field. Nothing reaches the file before Update.
class TagInfoDialog final : public QDialog {
    Q_OBJECT
public:
    TagInfoDialog(Platform& platform, WriteJournal& journal, std::filesystem::path file,
                  QWidget* parent = nullptr);

    // The fields as shown; genres are selection entries (kGenreUnselected when none is chosen).
    [[nodiscard]] TagFields shownFields() const;

    [[nodiscard]] QPushButton* clearV1Button() const { return clearV1_; }
    [[nodiscard]] QPushButton* clearV2Button() const { return clearV2_; }
    [[nodiscard]] QPushButton* updateButton() const { return update_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

private:
    struct V1Controls {
        QLineEdit* title;
        QLineEdit* artist;
        QLineEdit* album;
        QComboBox* genre;
        QLineEdit* comment;
        QLineEdit* year;
        QLineEdit* track;
    };
    struct V2Controls {
        QLineEdit* title;
        QLineEdit* artist;
        QLineEdit* album;
        QLineEdit* composer;
        QLineEdit* publisher;
        QLineEdit* url;
        QLineEdit* copyright;
        QComboBox* genre;
        QLineEdit* track;
        QLineEdit* comment;
        QLineEdit* year;
    };

    [[nodiscard]] QWidget* buildV1Group();
    [[nodiscard]] QWidget* buildV2Group();
    void showFields(const TagFields& fields);
    void showV1(const Id3v1Fields& v1);
    void showV2(const Id3v2Fields& v2);
    void onClearV1();
    void onClearV2();
    void onUpdate();

    Platform& platform_;
    WriteJournal& journal_;
    std::filesystem::path file_;
    V1Controls v1_{};
    V2Controls v2_{};
    QPushButton* clearV1_ = nullptr;
    QPushButton* clearV2_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace tunex
