#pragma once

#include "gui/app/page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunex {

class AppContext;
class ResultList;

// The Files tab: inputs for a search by file type, keyword, date and size, the list of
// collections, and a result list that follows the column settings like the Songs page's. It runs
// no search of its own.
class FilesPage final : public Page {
    Q_OBJECT
public:
    FilesPage(AppContext& context, QWidget* parent = nullptr);

    void activate() override;
    void setWindowMaximized(bool maximized) override;

    [[nodiscard]] QComboBox* collectionList() const { return collections_; }
    [[nodiscard]] ResultList* resultList() const { return list_; }
    [[nodiscard]] QString statusLine() const;

private:
    QWidget* makeInputGroup();
    QWidget* makeCollectionGroup();

    AppContext& context_;
    QComboBox* collections_ = nullptr;
    ResultList* list_ = nullptr;
    QLabel* status_ = nullptr;
    // The shown columns changed while the page was hidden; they are rebuilt when it is shown.
    bool columnsStale_ = false;
};

}  // namespace tunex
