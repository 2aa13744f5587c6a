#include "gui/tags/tag_info_dialog.h"

#include "core/tags/genre_list.h"
#include "core/tags/tag_editor_rules.h"
#include "platform/platform.h"
#include "platform/qt/qt_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunex {

namespace {

QLineEdit* lineEdit(QWidget* parent, const char* name, int maxLength = 0) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    return edit;
}

// The empty entry first, so that entry n + 1 stands for genre n and entry 0 removes the genre.
QComboBox* genreBox(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(false);
    box->setMaxVisibleItems(20);
    for (int entry = 0; entry < kGenreEntryCount; ++entry) {
        box->addItem(toQString(genreEntryText(entry)));
    }
    box->setCurrentIndex(kGenreUnselected);
    return box;
}

// Label and field side by side in one of the group's two columns.
void addRow(QGridLayout* grid, int row, int column, const QString& label, QWidget* field) {
    auto* caption = new QLabel(label, grid->parentWidget());
    caption->setBuddy(field);
    grid->addWidget(caption, row, column * 2);
    grid->addWidget(field, row, column * 2 + 1);
}

std::string text(const QLineEdit* edit) {
    return toStdString(edit->text());
}

}  // namespace

TagInfoDialog::TagInfoDialog(Platform& platform, WriteJournal& journal, std::filesystem::path file,
                             QWidget* parent)
    : QDialog(parent), platform_(platform), journal_(journal), file_(std::move(file)) {
    setWindowTitle(toQString(tagEditorCaption(file_.string())));
    setSizeGripEnabled(true);

    auto* v1Group = buildV1Group();
    auto* v2Group = buildV2Group();

    update_ = new QPushButton(QStringLiteral("Update"), this);
    update_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    connect(update_, &QPushButton::clicked, this, &TagInfoDialog::onUpdate);
    connect(cancel_, &QPushButton::clicked, this, &TagInfoDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(update_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(v1Group);
    layout->addWidget(v2Group);
    layout->addStretch(1);
    layout->addLayout(buttons);

    TagFields fields;
    (void)loadTagFields(file_, fields);
    showFields(fields);
    resize(sizeHint().expandedTo(QSize(640, 0)));
}

QWidget* TagInfoDialog::buildV1Group() {
    auto* group = new QGroupBox(QStringLiteral("ID3 V1"), this);
    v1_.title = lineEdit(group, "v1Title", v1TypingLimit(V1TextField::Title));
    v1_.artist = lineEdit(group, "v1Artist", v1TypingLimit(V1TextField::Artist));
    v1_.album = lineEdit(group, "v1Album", v1TypingLimit(V1TextField::Album));
    v1_.genre = genreBox(group, "v1Genre");
    v1_.comment = lineEdit(group, "v1Comment", v1TypingLimit(V1TextField::Comment));
    v1_.year = lineEdit(group, "v1Year", v1TypingLimit(V1TextField::Year));
    v1_.track = lineEdit(group, "v1Track", v1TypingLimit(V1TextField::Track));
    clearV1_ = new QPushButton(QStringLiteral("Clear V1 Tag"), group);
    connect(clearV1_, &QPushButton::clicked, this, &TagInfoDialog::onClearV1);

    auto* grid = new QGridLayout(group);
    addRow(grid, 0, 0, QStringLiteral("Title"), v1_.title);
    addRow(grid, 1, 0, QStringLiteral("Artist"), v1_.artist);
    addRow(grid, 2, 0, QStringLiteral("Album"), v1_.album);
    addRow(grid, 3, 0, QStringLiteral("Genre"), v1_.genre);
    addRow(grid, 0, 1, QStringLiteral("Comment"), v1_.comment);
    addRow(grid, 1, 1, QStringLiteral("Year"), v1_.year);
    addRow(grid, 2, 1, QStringLiteral("Track #"), v1_.track);
    grid->addWidget(clearV1_, 3, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    return group;
}

QWidget* TagInfoDialog::buildV2Group() {
    auto* group = new QGroupBox(QStringLiteral("ID3 V2"), this);
    v2_.title = lineEdit(group, "v2Title");
    v2_.artist = lineEdit(group, "v2Artist");
    v2_.album = lineEdit(group, "v2Album");
    v2_.composer = lineEdit(group, "v2Composer");
    v2_.publisher = lineEdit(group, "v2Publisher");
    v2_.url = lineEdit(group, "v2Url");
    v2_.copyright = lineEdit(group, "v2Copyright");
    v2_.genre = genreBox(group, "v2Genre");
    v2_.track = lineEdit(group, "v2Track");
    v2_.comment = lineEdit(group, "v2Comment");
    v2_.year = lineEdit(group, "v2Year");
    clearV2_ = new QPushButton(QStringLiteral("Clear V2 Tag"), group);
    connect(clearV2_, &QPushButton::clicked, this, &TagInfoDialog::onClearV2);

    auto* grid = new QGridLayout(group);
    addRow(grid, 0, 0, QStringLiteral("Title"), v2_.title);
    addRow(grid, 1, 0, QStringLiteral("Artist"), v2_.artist);
    addRow(grid, 2, 0, QStringLiteral("Album"), v2_.album);
    addRow(grid, 3, 0, QStringLiteral("Composer"), v2_.composer);
    addRow(grid, 4, 0, QStringLiteral("Publisher"), v2_.publisher);
    addRow(grid, 5, 0, QStringLiteral("File URL"), v2_.url);
    addRow(grid, 0, 1, QStringLiteral("Copyright"), v2_.copyright);
    addRow(grid, 1, 1, QStringLiteral("Genre"), v2_.genre);
    addRow(grid, 2, 1, QStringLiteral("Track #"), v2_.track);
    addRow(grid, 3, 1, QStringLiteral("Comment"), v2_.comment);
    addRow(grid, 4, 1, QStringLiteral("Year"), v2_.year);
    grid->addWidget(clearV2_, 5, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

void TagInfoDialog::showFields(const TagFields& fields) {
    showV1(fields.v1);
    showV2(fields.v2);
}

// Loaded values are shown whole: a V1 tag has no room for more than the typing limits anyway.
void TagInfoDialog::showV1(const Id3v1Fields& v1) {
    v1_.title->setText(toQString(v1.title));
    v1_.artist->setText(toQString(v1.artist));
    v1_.album->setText(toQString(v1.album));
    v1_.comment->setText(toQString(v1.comment));
    v1_.year->setText(toQString(v1.year));
    v1_.track->setText(toQString(v1.track));
    v1_.genre->setCurrentIndex(v1.genre);
}

void TagInfoDialog::showV2(const Id3v2Fields& v2) {
    v2_.title->setText(toQString(v2.title));
    v2_.artist->setText(toQString(v2.artist));
    v2_.album->setText(toQString(v2.album));
    v2_.comment->setText(toQString(v2.comment));
    v2_.year->setText(toQString(v2.year));
    v2_.track->setText(toQString(v2.track));
    v2_.genre->setCurrentIndex(v2.genre);
    v2_.composer->setText(toQString(v2.composer));
    v2_.publisher->setText(toQString(v2.publisher));
    v2_.url->setText(toQString(v2.url));
    v2_.copyright->setText(toQString(v2.copyright));
}

TagFields TagInfoDialog::shownFields() const {
    TagFields fields;
    fields.v1.title = text(v1_.title);
    fields.v1.artist = text(v1_.artist);
    fields.v1.album = text(v1_.album);
    fields.v1.comment = text(v1_.comment);
    fields.v1.year = text(v1_.year);
    fields.v1.track = text(v1_.track);
    fields.v1.genre = v1_.genre->currentIndex();
    fields.v2.title = text(v2_.title);
    fields.v2.artist = text(v2_.artist);
    fields.v2.album = text(v2_.album);
    fields.v2.comment = text(v2_.comment);
    fields.v2.year = text(v2_.year);
    fields.v2.track = text(v2_.track);
    fields.v2.genre = v2_.genre->currentIndex();
    fields.v2.composer = text(v2_.composer);
    fields.v2.publisher = text(v2_.publisher);
    fields.v2.url = text(v2_.url);
    fields.v2.copyright = text(v2_.copyright);
    return fields;
}

void TagInfoDialog::onClearV1() {
    Id3v1Fields v1 = shownFields().v1;
    clearV1Group(v1);
    showV1(v1);
}

void TagInfoDialog::onClearV2() {
    Id3v2Fields v2 = shownFields().v2;
    clearV2Group(v2);
    showV2(v2);
}

void TagInfoDialog::onUpdate() {
    const TagWriteOutcome outcome = saveTagFields(journal_, file_, shownFields());
    if (outcome != TagWriteOutcome::Written) {
        // The dialog stays open so that what the user typed is not lost; Cancel leaves.
        platform_.tell(tagUpdateFailedMessage(file_.string(), outcome));
        return;
    }
    accept();
}

}  // namespace tunex
