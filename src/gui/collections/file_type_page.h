#pragma once

#include "gui/app/page.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tunex {

class AppContext;

// The File Type tab: the run's list of media file types, with Add (also Enter in the edit) and
// Delete (also the Delete key in the list).
class FileTypePage final : public Page {
    Q_OBJECT
public:
    explicit FileTypePage(AppContext& context, QWidget* parent = nullptr);

    [[nodiscard]] QLineEdit* typeEdit() const { return typeEdit_; }
    [[nodiscard]] QPushButton* addButton() const { return add_; }
    [[nodiscard]] QPushButton* deleteButton() const { return delete_; }
    [[nodiscard]] QListWidget* typeList() const { return list_; }
    [[nodiscard]] QLabel* countLabel() const { return count_; }

private:
    void onAdd();
    void onDelete();
    void fillList();

    AppContext& context_;
    QLineEdit* typeEdit_;
    QPushButton* add_;
    QPushButton* delete_;
    QListWidget* list_;
    QLabel* count_;
};

}  // namespace tunex
