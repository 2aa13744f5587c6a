#pragma once

#include "core/common/user_message.h"
#include "core/store/settings.h"
#include "gui/app/page.h"

#include <array>
#include <optional>

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
// is written when the program ends. A limit edit takes only digits; a value outside its limits
// stays while it is being typed, with a hint below, and is put back when the edit is left.
class SettingPage final : public Page {
    Q_OBJECT
public:
    SettingPage(AppContext& context, QWidget* parent = nullptr);

    void activate() override;

    [[nodiscard]] QLineEdit* maxResultsEdit() const { return maxResults_; }
    [[nodiscard]] QLineEdit* maxHistoryEdit() const { return maxHistory_; }
    // Says what a limit edit takes while it holds a value it will not take; hidden otherwise.
    [[nodiscard]] QLabel* limitHint() const { return limitHint_; }
    [[nodiscard]] QComboBox* sortColumnList() const { return sortColumn_; }
    [[nodiscard]] QComboBox* columnList() const { return columns_; }
    [[nodiscard]] QPushButton* insertButton() const { return insert_; }
    [[nodiscard]] QPushButton* removeButton() const { return remove_; }
    [[nodiscard]] QButtonGroup* sensitivityGroup() const { return sensitivity_; }
    [[nodiscard]] QCheckBox* searchAsYouTypeBox() const { return searchAsYouType_; }
    [[nodiscard]] QComboBox* defaultTabList() const { return defaultTab_; }
    [[nodiscard]] QCheckBox* startMaximizedBox() const { return startMaximized_; }
    [[nodiscard]] QCheckBox* previewBox() const { return preview_; }
    [[nodiscard]] QCheckBox* matchAccentsBox() const { return matchAccents_; }
    [[nodiscard]] QString statisticLine(int line) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A limit edit and the setting it edits.
    struct LimitField {
        QLineEdit* edit = nullptr;
        int Settings::*value = nullptr;
        int highest = 0;
        std::optional<UserMessage> (*check)(int) = nullptr;
    };

    QWidget* makeSettingsGroup();
    void makeLimitFields(QWidget* group);
    QWidget* makeSensitivityGroup();
    QWidget* makeStartupGroup();
    void fillStatistics();
    void onLimitEdited(const LimitField& field);
    // Leaving an edit that holds a value it will not take puts back the value in effect, then
    // says why.
    void settleLimit(const LimitField& field);
    void settleLimits();
    void showLimit(const LimitField& field);
    void colourHint();
    void onSortColumnChosen(int entry);
    void onColumnChosen();
    void onInsert();
    void onRemove();
    void setColumnShown(int entry, bool shown);

    AppContext& context_;
    QLineEdit* maxResults_ = nullptr;
    QLineEdit* maxHistory_ = nullptr;
    QLabel* limitHint_ = nullptr;
    std::array<LimitField, 2> limits_{};
    QComboBox* sortColumn_ = nullptr;
    QComboBox* columns_ = nullptr;
    QPushButton* insert_ = nullptr;
    QPushButton* remove_ = nullptr;
    QButtonGroup* sensitivity_ = nullptr;
    QCheckBox* searchAsYouType_ = nullptr;
    QComboBox* defaultTab_ = nullptr;
    QCheckBox* startMaximized_ = nullptr;
    QCheckBox* preview_ = nullptr;
    QCheckBox* matchAccents_ = nullptr;
    std::array<QLabel*, 3> statistics_{};
};

}  // namespace tunex
