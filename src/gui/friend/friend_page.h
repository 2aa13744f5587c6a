#pragma once

#include "core/friend/friend_sort.h"
#include "gui/app/page.h"
#include "gui/widgets/shown_path.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace tunex {

class AppContext;
class FriendResultModel;

// The Friend tab: export the catalogue to a friend file, and search a friend's file by keyword.
class FriendPage final : public Page {
    Q_OBJECT
public:
    explicit FriendPage(AppContext& context, QWidget* parent = nullptr);

    [[nodiscard]] QLineEdit* nameEdit() const { return name_; }
    [[nodiscard]] QLineEdit* emailEdit() const { return email_; }
    [[nodiscard]] QPushButton* exportButton() const { return export_; }
    [[nodiscard]] QString exportInfo() const;
    [[nodiscard]] QLineEdit* fileEdit() const { return file_; }
    [[nodiscard]] QLineEdit* keywordEdit() const { return keyword_; }
    [[nodiscard]] QPushButton* browseButton() const { return browse_; }
    [[nodiscard]] QPushButton* searchButton() const { return search_; }
    [[nodiscard]] QTreeView* resultView() const { return list_; }
    [[nodiscard]] FriendResultModel* resultModel() const { return model_; }
    [[nodiscard]] QString statusText() const;

private:
    QWidget* buildExportGroup();
    QWidget* buildSearchGroup();
    void setUpResultList();

    void onExport();
    void onBrowse();
    void onSearch();
    void onHeaderClicked(int column);

    AppContext& context_;
    FriendSortState sort_;
    QLineEdit* name_ = nullptr;
    QLineEdit* email_ = nullptr;
    QPushButton* export_ = nullptr;
    QLabel* exportInfo_ = nullptr;
    QLineEdit* file_ = nullptr;
    ShownPath chosenFile_;
    QLineEdit* keyword_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* search_ = nullptr;
    QTreeView* list_ = nullptr;
    FriendResultModel* model_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace tunex
