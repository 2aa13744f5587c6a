#include "gui/search/files_page.h"

#include "core/search/search_messages.h"
#include "gui/app/app_context.h"
#include "gui/widgets/page_controls.h"
#include "gui/widgets/result_list.h"
#include "platform/qt/qt_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunex {

FilesPage::FilesPage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
    auto* results = new QGroupBox(QStringLiteral("Search Results"), this);
    list_ = new ResultList(results);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->addWidget(list_);
    status_ = plainLabel(toQString(kNoSearchPerformed), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeInputGroup());
    layout->addWidget(makeCollectionGroup());
    layout->addWidget(results, 1);
    layout->addWidget(status_);

    list_->buildColumns(true, context_.settings().showColumns);
    connect(&context_, &AppContext::columnsChanged, this, [this] { columnsStale_ = true; });
}

QWidget* FilesPage::makeInputGroup() {
    auto* group = new QGroupBox(
        QStringLiteral("Search by File Type / File Size / Create Date / Keyword"), this);
    auto* type = new QLineEdit(group);
    auto* keyword = new QLineEdit(group);
    auto* dateFrom = new QLineEdit(QStringLiteral("1900-01-01"), group);
    auto* dateTo = new QLineEdit(group);
    auto* sizeFrom = new QLineEdit(QStringLiteral("0.0"), group);
    auto* sizeTo = new QLineEdit(QStringLiteral("1000000.0"), group);
    auto* grid = new QGridLayout(group);
    grid->addWidget(plainLabel(QStringLiteral("File Type:"), group), 0, 0);
    grid->addWidget(type, 0, 1);
    grid->addWidget(plainLabel(QStringLiteral("Keyword:"), group), 0, 2);
    grid->addWidget(keyword, 0, 3, 1, 3);
    grid->addWidget(pageButton(QStringLiteral("&Search "), group), 0, 6);
    grid->addWidget(plainLabel(QStringLiteral("File Date between:"), group), 1, 0);
    grid->addWidget(dateFrom, 1, 1);
    grid->addWidget(plainLabel(QStringLiteral("to"), group), 1, 2);
    grid->addWidget(dateTo, 1, 3);
    grid->addWidget(plainLabel(QStringLiteral("File Size (KB) between:"), group), 2, 0);
    grid->addWidget(sizeFrom, 2, 1);
    grid->addWidget(plainLabel(QStringLiteral("to"), group), 2, 2);
    grid->addWidget(sizeTo, 2, 3);
    grid->addWidget(pageButton(QStringLiteral("&Export Result..."), group), 2, 6);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
    return group;
}

QWidget* FilesPage::makeCollectionGroup() {
    auto* group = new QGroupBox(QStringLiteral("Search by CD Name"), this);
    collections_ = new QComboBox(group);
    collections_->setMinimumContentsLength(24);
    collections_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* row = new QHBoxLayout(group);
    row->addWidget(plainLabel(QStringLiteral("Available CDs:"), group));
    row->addWidget(collections_, 1);
    row->addWidget(pageButton(QStringLiteral("Search by &CD"), group));
    return group;
}

QString FilesPage::statusLine() const {
    return status_->text();
}

void FilesPage::activate() {
    collections_->clear();
    for (const std::string& name : context_.catalogue().collectionNames()) {
        collections_->addItem(toQString(name));
    }
    collections_->setCurrentIndex(collections_->count() > 0 ? 0 : -1);
    if (columnsStale_) {
        columnsStale_ = false;
        list_->buildColumns(true, context_.settings().showColumns);
    }
}

void FilesPage::setWindowMaximized(bool maximized) {
    Page::setWindowMaximized(maximized);
    list_->setMaximised(maximized);
}

}  // namespace tunex
