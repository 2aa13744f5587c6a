#pragma once

#include "gui/app/page.h"

#include <functional>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;
class ResultList;
class SongRowActions;

// The Songs tab: search the catalogue by title and artist, list all of it, and export the list.
// Each search is left for the History page, which is shown for a moment to take it.
class SongsPage final : public Page {
    Q_OBJECT
public:
    SongsPage(AppContext& context, std::function<void(int)> showPage,
              std::function<void(std::string_view)> setLastHistoryCell, QWidget* parent = nullptr);

    void activate() override;
    void setWindowMaximized(bool maximized) override;

    void search();
    void listAll();
    void exportResult();

    [[nodiscard]] QLineEdit* titleEdit() const { return title_; }
    [[nodiscard]] QLineEdit* artistEdit() const { return artist_; }
    [[nodiscard]] QPushButton* searchButton() const { return search_; }
    [[nodiscard]] QPushButton* historyButton() const { return history_; }
    [[nodiscard]] QPushButton* listAllButton() const { return listAll_; }
    [[nodiscard]] QPushButton* exportButton() const { return export_; }
    [[nodiscard]] ResultList* resultList() const { return list_; }
    [[nodiscard]] SongRowActions* rowActions() const { return actions_; }
    [[nodiscard]] QString statusLine() const;

private:
    AppContext& context_;
    std::function<void(int)> showPage_;
    QLineEdit* title_;
    QLineEdit* artist_;
    QPushButton* search_;
    QPushButton* history_;
    QPushButton* listAll_;
    QPushButton* export_;
    ResultList* list_;
    QLabel* status_;
    SongRowActions* actions_;
};

}  // namespace tunex
