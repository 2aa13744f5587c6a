#pragma once

#include "core/search/duplicates.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QTreeWidget;

namespace tunex {

class AppContext;
class NewestWorkRunner;

// The songs the catalogue holds in more than one collection, by the chosen key: a tree of groups
// and their copies, worked out off the GUI thread so that a large catalogue never stalls it.
class DuplicatesDialog final : public QDialog {
    Q_OBJECT
public:
    explicit DuplicatesDialog(AppContext& context, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(DuplicatesDialog)
    ~DuplicatesDialog() override;

    [[nodiscard]] QComboBox* keyList() const { return key_; }
    [[nodiscard]] QTreeWidget* groupTree() const { return tree_; }
    [[nodiscard]] QString statusText() const;
    // Whether a search is under way.
    [[nodiscard]] bool searching() const;

private:
    [[nodiscard]] DuplicateKey chosenKey() const;
    void search();
    void showReport(const DuplicateReport& report);

    AppContext& context_;
    NewestWorkRunner* runner_;
    QComboBox* key_;
    QTreeWidget* tree_;
    QLabel* status_;
};

}  // namespace tunex
