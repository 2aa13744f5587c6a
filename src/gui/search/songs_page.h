#pragma once

#include "gui/app/page.h"

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;
class ResultList;
class SongRowActions;

// The Songs tab: search the catalogue by title and artist, list all of it, and export the list.
// Each search is recorded for the History page; a search again from there runs here.
class SongsPage final : public Page {
    Q_OBJECT
public:
    explicit SongsPage(AppContext& context, QWidget* parent = nullptr);

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
    void rebuildColumns();
    void searchAgain(const std::string& title, const std::string& artist);

    AppContext& context_;
    QLineEdit* title_;
    QLineEdit* artist_;
    QPushButton* search_;
    QPushButton* history_;
    QPushButton* listAll_;
    QPushButton* export_;
    ResultList* list_;
    QLabel* status_;
    SongRowActions* actions_;
    // The shown columns changed while the page was hidden; they are rebuilt when it is shown.
    bool columnsStale_ = false;
};

}  // namespace tunex
