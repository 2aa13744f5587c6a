#pragma once

#include "core/search/catalogue_search.h"
#include "core/store/settings.h"
#include "gui/app/page.h"

#include <string_view>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tunex {

class AppContext;

// The History tab: the last searches, oldest at the top. The rows are read from the settings file
// when the page is made; the sheet writes `rows()` back when the program ends. A row's right-click
// menu copies it or searches it again; Ctrl+C copies the selected row.
class HistoryPage final : public Page {
    Q_OBJECT
public:
    explicit HistoryPage(AppContext& context, QWidget* parent = nullptr);

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
    // Ctrl+C and the row menu's Copy: the selected row's title and artist.
    void onCopy();
    void onMenu(QPoint pos);
    // Drops the row, shows the Songs page and has it search the row's terms.
    void searchRowAgain(int row);

    // Appends a search the Songs page ran, then refreshes as on activation.
    void addSearch(const SearchSummary& summary);
    // The limit text and the trim to the limit, which the Setting page may have changed.
    void refresh();

    AppContext& context_;
    std::vector<HistoryRow> rows_;
    QTreeWidget* list_;
    QLabel* limit_;
    QPushButton* searchAgain_;
};

}  // namespace tunex
