#pragma once

#include "core/tags/cover_art.h"

#include <QFrame>

#include <filesystem>
#include <optional>

class QLabel;
class QPushButton;

namespace tunex {

class Platform;

// The front cover of the tag editor's file: a thumbnail, its size in pixels and bytes and the
// pictures of the file in all, with buttons to add or replace it from an image file, remove it
// or save it to a file. A change is only kept here until the editor's Update writes it. A framed
// panel rather than a group box: the editor's group boxes are its tags.
class CoverArea final : public QFrame {
    Q_OBJECT
public:
    CoverArea(Platform& platform, std::filesystem::path file, QWidget* parent = nullptr);

    // The change Update is to write; nothing while the cover is as the file holds it.
    [[nodiscard]] const std::optional<CoverEdit>& edit() const { return edit_; }

    [[nodiscard]] QLabel* thumbnail() const { return thumbnail_; }
    [[nodiscard]] QLabel* description() const { return description_; }
    [[nodiscard]] QPushButton* setButton() const { return set_; }
    [[nodiscard]] QPushButton* removeButton() const { return remove_; }
    [[nodiscard]] QPushButton* saveButton() const { return save_; }

private:
    [[nodiscard]] const std::optional<Picture>& shown() const;
    void showCover();
    void onSet();
    void onRemove();
    void onSave();

    Platform& platform_;
    std::filesystem::path file_;
    CoverInfo loaded_;
    std::optional<CoverEdit> edit_;
    QLabel* thumbnail_;
    QLabel* description_;
    QPushButton* set_;
    QPushButton* remove_;
    QPushButton* save_;
};

}  // namespace tunex
