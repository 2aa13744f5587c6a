#pragma once

#include "gui/app/page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;
class ResultList;
class SearchAsYouType;
class SongRowActions;
struct FilesQuery;
struct SearchOutcome;

// The Files tab: a search of the whole catalogue by file type, keyword, date and size, a listing
// of one collection, and a result list that acts like the Songs page's (sorting, row menu, play,
// export). Its inputs stay as typed; they are not recorded in the history. While the user types,
// the list shows what Search would find, without the limit notice.
class FilesPage final : public Page {
    Q_OBJECT
public:
    FilesPage(AppContext& context, QWidget* parent = nullptr);

    void activate() override;
    void setWindowMaximized(bool maximized) override;

    void search();
    void searchByCd();
    void exportResult();

    [[nodiscard]] QLineEdit* typeEdit() const { return type_; }
    [[nodiscard]] QLineEdit* keywordEdit() const { return keyword_; }
    [[nodiscard]] QLineEdit* dateFromEdit() const { return dateFrom_; }
    [[nodiscard]] QLineEdit* dateToEdit() const { return dateTo_; }
    [[nodiscard]] QLineEdit* sizeFromEdit() const { return sizeFrom_; }
    [[nodiscard]] QLineEdit* sizeToEdit() const { return sizeTo_; }
    [[nodiscard]] QPushButton* searchButton() const { return search_; }
    [[nodiscard]] QPushButton* exportButton() const { return export_; }
    [[nodiscard]] QPushButton* searchByCdButton() const { return searchByCd_; }
    [[nodiscard]] QComboBox* collectionList() const { return collections_; }
    [[nodiscard]] ResultList* resultList() const { return list_; }
    [[nodiscard]] SongRowActions* rowActions() const { return actions_; }
    [[nodiscard]] QString statusLine() const;
    // A search as the user types waits for the pause in the typing or is under way.
    [[nodiscard]] bool instantSearchPending() const;

Q_SIGNALS:
    // The rows of a search as the user types are in the list.
    void instantResultShown();

private:
    QWidget* makeInputGroup();
    QWidget* makeCollectionGroup();
    // Lists the collections again, keeping the chosen one when it is still there.
    void refreshCollections();
    [[nodiscard]] FilesQuery typedQuery() const;
    // Runs the query and shows the rows, the status line and any message as the Songs page does.
    void runAndShow(const FilesQuery& query);
    void beginInstantSearch();
    void showInstantResult(SearchOutcome outcome);

    AppContext& context_;
    QLineEdit* type_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QLineEdit* dateFrom_ = nullptr;
    QLineEdit* dateTo_ = nullptr;
    QLineEdit* sizeFrom_ = nullptr;
    QLineEdit* sizeTo_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* searchByCd_ = nullptr;
    QComboBox* collections_ = nullptr;
    ResultList* list_ = nullptr;
    QLabel* status_ = nullptr;
    SongRowActions* actions_ = nullptr;
    SearchAsYouType* typing_ = nullptr;
    // The shown columns changed while the page was hidden; they are rebuilt when it is shown.
    bool columnsStale_ = false;
};

}  // namespace tunex
