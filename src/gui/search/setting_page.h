#pragma once

#include "gui/app/page.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;

// The Setting tab: result and history limits, the sort column, the shown result columns, search
// sensitivity and the start-up options. Changes take effect in memory at once; the settings file
// is written when the program ends.
class SettingPage final : public Page {
    Q_OBJECT
public:
    SettingPage(AppContext& context, QWidget* parent = nullptr);

    void activate() override;

    [[nodiscard]] QLineEdit* maxResultsEdit() const { return maxResults_; }
    [[nodiscard]] QLineEdit* maxHistoryEdit() const { return maxHistory_; }
    [[nodiscard]] QComboBox* sortColumnList() const { return sortColumn_; }
    [[nodiscard]] QComboBox* columnList() const { return columns_; }
    [[nodiscard]] QPushButton* insertButton() const { return insert_; }
    [[nodiscard]] QPushButton* removeButton() const { return remove_; }
    [[nodiscard]] QButtonGroup* sensitivityGroup() const { return sensitivity_; }
    [[nodiscard]] QComboBox* defaultTabList() const { return defaultTab_; }
    [[nodiscard]] QCheckBox* startMaximizedBox() const { return startMaximized_; }
    [[nodiscard]] QCheckBox* previewBox() const { return preview_; }
    [[nodiscard]] QString statisticLine(int line) const;

private:
    QWidget* makeSettingsGroup();
    QWidget* makeSensitivityGroup();
    QWidget* makeStartupGroup();
    void fillStatistics();
    // Reads both limit edits; empty after telling the user when either is not a whole number.
    [[nodiscard]] bool readLimits(int& results, int& history);
    void onMaxResultsEdited();
    void onMaxHistoryEdited();
    void onSortColumnChosen(int entry);
    void onColumnChosen();
    void onInsert();
    void onRemove();
    void setColumnShown(int entry, bool shown);

    AppContext& context_;
    QLineEdit* maxResults_ = nullptr;
    QLineEdit* maxHistory_ = nullptr;
    QComboBox* sortColumn_ = nullptr;
    QComboBox* columns_ = nullptr;
    QPushButton* insert_ = nullptr;
    QPushButton* remove_ = nullptr;
    QButtonGroup* sensitivity_ = nullptr;
    QComboBox* defaultTab_ = nullptr;
    QCheckBox* startMaximized_ = nullptr;
    QCheckBox* preview_ = nullptr;
    std::array<QLabel*, 3> statistics_{};
};

}  // namespace tunex
