#pragma once

#include "core/store/settings.h"
#include "gui/app/page.h"

#include <functional>
#include <string_view>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tunex {

class AppContext;

// The History tab: the last searches, oldest at the top. The rows are read from the settings file
// when the page is made; the sheet writes `rows()` back when the program ends.
class HistoryPage final : public Page {
    Q_OBJECT
public:
    HistoryPage(AppContext& context, std::function<void(int)> showPage, QWidget* parent = nullptr);

    void activate() override;
    void setWindowMaximized(bool maximized) override;

    [[nodiscard]] const std::vector<HistoryRow>& rows() const { return rows_; }
    // Writes First CD Found of the newest row; nothing when there are no rows.
    void setLastHistoryCell(std::string_view text);

    [[nodiscard]] QTreeWidget* list() const { return list_; }
    [[nodiscard]] QPushButton* searchAgainButton() const { return searchAgain_; }
    [[nodiscard]] QString limitText() const;
    void selectRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void appendRow(HistoryRow row);
    void removeRow(int row);
    void trimToLimit();
    [[nodiscard]] int selectedRow() const;
    void applyWidths();
    void onSearchAgain();
    void onDoubleClick();
    void onCopy();
    // Leaves the row's terms for the Songs page, drops the row and shows the Songs page.
    void searchRowAgain(int row);

    AppContext& context_;
    std::function<void(int)> showPage_;
    std::vector<HistoryRow> rows_;
    QTreeWidget* list_;
    QLabel* limit_;
    QPushButton* searchAgain_;
};

}  // namespace tunex
