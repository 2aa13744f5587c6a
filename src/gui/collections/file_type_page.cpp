#include "gui/collections/file_type_page.h"

#include "gui/app/app_context.h"
#include "platform/qt/qt_text.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tunex {

namespace {

UserMessage deleteError(std::string text) {
    return {std::move(text), captionFor("Delete Error"), MessageIcon::Warning};
}

}  // namespace

FileTypePage::FileTypePage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
    auto* tips = new QLabel(
        QStringLiteral("Tips: Only the files types match with the ones in the list will be added "
                       "to the database and shown in <Local>. Press Help for details."),
        this);
    tips->setTextFormat(Qt::PlainText);
    tips->setWordWrap(true);

    auto* addGroup = new QGroupBox(QStringLiteral("Add File Type"), this);
    auto* newType = new QLabel(QStringLiteral("New Type: "), addGroup);
    typeEdit_ = new QLineEdit(addGroup);
    newType->setBuddy(typeEdit_);
    add_ = new QPushButton(QStringLiteral("&Add"), addGroup);
    auto* addRow = new QHBoxLayout(addGroup);
    addRow->addWidget(newType);
    addRow->addWidget(typeEdit_, 1);
    addRow->addWidget(add_);

    auto* deleteGroup = new QGroupBox(QStringLiteral("Delete File Type"), this);
    auto* deleteText =
        new QLabel(QStringLiteral("Delete the selected file type from the list."), deleteGroup);
    deleteText->setWordWrap(true);
    delete_ = new QPushButton(QStringLiteral("&Delete"), deleteGroup);
    auto* deleteRow = new QHBoxLayout(deleteGroup);
    deleteRow->addWidget(deleteText, 1);
    deleteRow->addWidget(delete_);

    auto* typesGroup = new QGroupBox(QStringLiteral("File Types"), this);
    list_ = new QListWidget(typesGroup);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSortingEnabled(true);
    auto* typesLayout = new QVBoxLayout(typesGroup);
    typesLayout->addWidget(list_);
    typesGroup->setFixedWidth(QFontMetrics(font()).horizontalAdvance(u'x') * 28);
    count_ = new QLabel(this);

    auto* left = new QVBoxLayout;
    left->addWidget(tips);
    left->addSpacing(8);
    left->addWidget(addGroup);
    left->addWidget(deleteGroup);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(typesGroup, 1);
    right->addWidget(count_, 0, Qt::AlignRight);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    connect(add_, &QPushButton::clicked, this, &FileTypePage::onAdd);
    connect(delete_, &QPushButton::clicked, this, &FileTypePage::onDelete);
    // The sheet keeps Enter from reaching the edit; a shortcut on the edit still hears it. Delete
    // belongs to the list only: in the edit it deletes characters.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), typeEdit_);
        enter->setContext(Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, &FileTypePage::onAdd);
    }
    auto* deleteKey = new QShortcut(QKeySequence::Delete, list_);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &FileTypePage::onDelete);
    connect(&context_, &AppContext::fileTypesChanged, this, &FileTypePage::fillList);
    fillList();
}

void FileTypePage::fillList() {
    list_->clear();
    const std::vector<std::string> entries = context_.fileTypes().entries();
    for (const std::string& type : entries) {
        // The type's bytes ride along: a name that is not valid UTF-8 is shown with replacement
        // characters but still deleted exactly.
        auto* item = new QListWidgetItem(toQString(type), list_);
        item->setData(Qt::UserRole, QByteArray::fromStdString(type));
    }
    count_->setText(QStringLiteral("Total number of File Type: %1").arg(list_->count()));
}

void FileTypePage::onAdd() {
    const FileTypeAddResult result = context_.addFileType(toStdString(typeEdit_->text()));
    if (result.message) {
        context_.platform().tell(*result.message);
    }
    if (result.clearInput) {
        typeEdit_->clear();
    }
}

void FileTypePage::onDelete() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        context_.platform().tell(deleteError("Please select a file type from the list first."));
        return;
    }
    if (list_->count() <= 1) {
        context_.platform().tell(deleteError("The file type list must have at least one element."));
        return;
    }
    const QByteArray type = selected.front()->data(Qt::UserRole).toByteArray();
    context_.removeFileType(std::string_view(type.constData(), static_cast<size_t>(type.size())));
}

}  // namespace tunex
