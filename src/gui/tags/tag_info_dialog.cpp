#include "gui/tags/tag_info_dialog.h"

#include "platform/qt/screen_fit.h"

#include "core/journal/write_journal.h"
#include "core/tags/cover_setting.h"
#include "core/tags/genre_list.h"
#include "core/tags/tag_editor_rules.h"
#include "core/tags/tag_field_table.h"
#include "gui/tags/cover_area.h"
#include "gui/tags/tag_preview_dialog.h"
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

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

namespace tunex {

namespace {

QLineEdit* lineEdit(QWidget* parent, const QString& name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    return edit;
}

// The empty entry (which removes the genre) first, then the genres by name; each item's data is
// its genre entry (genre number + 1), since a name is what people look for, not a number.
QComboBox* genreBox(QWidget* parent, const QString& name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(false);
    box->setMaxVisibleItems(20);
    std::array<int, kGenreEntryCount - 1> entries{};
    std::iota(entries.begin(), entries.end(), 1);
    std::sort(entries.begin(), entries.end(), [](int a, int b) {
        return toQString(genreEntryText(a))
                   .compare(toQString(genreEntryText(b)), Qt::CaseInsensitive) < 0;
    });
    box->addItem(QString(), kGenreEntryEmpty);
    for (const int entry : entries) {
        box->addItem(toQString(genreEntryText(entry)), entry);
    }
    box->setCurrentIndex(-1);
    return box;
}

// Object names follow the keys: the control of "v1.title" is "v1Title". The one group of a file
// that is not an mp3 drops the version, as `tunex-cli tags` does: "title".
QString controlName(std::string_view key, bool single) {
    if (single) {
        key.remove_prefix(key.find('.') + 1);
    }
    QString name;
    bool upper = false;
    for (const char c : key) {
        if (c == '.') {
            upper = true;
            continue;
        }
        name += upper ? QChar::fromLatin1(c).toUpper() : QChar::fromLatin1(c);
        upper = false;
    }
    return name;
}

// The parts of a group that are not fields.
struct GroupFrame {
    QString title;
    QString clearText;
    int leftStretch;  // of the two field columns
    int rightStretch;
};

GroupFrame frameOf(TagVersion version, std::optional<AudioFormat> single) {
    if (single) {
        return {toQString(singleTagTitle(*single)), QStringLiteral("Clear Tag"), 1, 1};
    }
    if (version == TagVersion::V1) {
        return {QStringLiteral("ID3 V1"), QStringLiteral("Clear V1 Tag"), 3, 2};
    }
    return {QStringLiteral("ID3 V2"), QStringLiteral("Clear V2 Tag"), 1, 1};
}

// One tag's fields down the left column, then down the right one: the order Tab walks them. The
// one tag of another format shows the V2 fields it has room for.
std::vector<const TagFieldRow*> editorOrder(TagVersion version, std::optional<AudioFormat> single) {
    std::vector<const TagFieldRow*> rows;
    for (const TagFieldRow& row : tagFieldRows()) {
        if (row.version == version && (!single || formatHasField(*single, row.field))) {
            rows.push_back(&row);
        }
    }
    std::sort(rows.begin(), rows.end(), [](const TagFieldRow* a, const TagFieldRow* b) {
        return std::pair(a->cell.column, a->cell.row) < std::pair(b->cell.column, b->cell.row);
    });
    return rows;
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
    : QDialog(parent),
      platform_(platform),
      journal_(journal),
      file_(std::move(file)),
      single_(singleTagFormat(file_.string())) {
    setWindowTitle(toQString(tagEditorCaption(file_.string())));
    setSizeGripEnabled(true);

    QWidget* v1Group = nullptr;
    if (!single_) {
        v1Group = buildGroup(TagVersion::V1, clearV1_);
        connect(clearV1_, &QPushButton::clicked, this, &TagInfoDialog::onClearV1);
    }
    auto* v2Group = buildGroup(TagVersion::V2, clearV2_);
    connect(clearV2_, &QPushButton::clicked, this, &TagInfoDialog::onClearV2);

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
    if (v1Group != nullptr) {
        layout->addWidget(v1Group);
    }
    layout->addWidget(v2Group);
    cover_ = new CoverArea(platform_, file_, this);
    layout->addWidget(cover_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    (void)loadTagFields(file_, loaded_);
    showFields(loaded_, TagVersion::V1);
    showFields(loaded_, TagVersion::V2);
    resize(sizeHint().expandedTo(QSize(640, 0)));
    keepWithinScreen(*this);
}

QWidget* TagInfoDialog::buildGroup(TagVersion version, QPushButton*& clear) {
    const GroupFrame frame = frameOf(version, single_);
    auto* group = new QGroupBox(frame.title, this);
    auto* grid = new QGridLayout(group);
    // A field the format has no room for leaves no gap: the ones below it move up.
    std::array<int, 2> columnRows{};
    for (const TagFieldRow* row : editorOrder(version, single_)) {
        FieldControl control{row};
        const QString name = controlName(row->key, single_.has_value());
        QWidget* field = nullptr;
        if (row->isGenre()) {
            control.genre = genreBox(group, name);
            field = control.genre;
        } else {
            control.edit = lineEdit(group, name, row->typingLimit);
            field = control.edit;
        }
        controls_.push_back(control);
        const int column = row->cell.column;
        addRow(grid, columnRows.at(static_cast<std::size_t>(column))++, column,
               toQString(row->label), field);
    }
    clear = new QPushButton(frame.clearText, group);
    // Under the right column's last field.
    grid->addWidget(clear, columnRows[1], 3, Qt::AlignRight);
    grid->setColumnStretch(1, frame.leftStretch);
    grid->setColumnStretch(3, frame.rightStretch);
    return group;
}

// Loaded values are shown whole: a V1 tag has no room for more than the typing limits anyway.
void TagInfoDialog::showFields(const TagFields& fields, TagVersion version) {
    for (const FieldControl& control : controls_) {
        if (control.row->version != version) {
            continue;
        }
        if (control.genre != nullptr) {
            // A stored genre outside the list gets an entry of its own, kept unless changed.
            while (control.genre->count() > kGenreEntryCount) {
                control.genre->removeItem(kGenreEntryCount);
            }
            const int entry = genreEntryOf(version, fields);
            if (entry == kGenreUnselected && version == TagVersion::V2 &&
                !fields.v2.genreName.empty()) {
                control.genre->addItem(toQString(fields.v2.genreName), kGenreUnselected);
                control.genre->setCurrentIndex(kGenreEntryCount);
            } else {
                control.genre->setCurrentIndex(control.genre->findData(entry));
            }
        } else {
            control.edit->setText(toQString(*fieldText(*control.row, fields)));
        }
    }
}

TagFields TagInfoDialog::shownFields() const {
    TagFields fields;
    for (const FieldControl& control : controls_) {
        if (control.genre != nullptr) {
            const QVariant entry = control.genre->currentData();
            genreEntryOf(control.row->version, fields) =
                entry.isValid() ? entry.toInt() : kGenreUnselected;
        } else {
            *fieldText(*control.row, fields) = text(control.edit);
        }
    }
    return fields;
}

void TagInfoDialog::onClearV1() {
    TagFields fields = shownFields();
    clearV1Group(fields.v1);
    showFields(fields, TagVersion::V1);
}

void TagInfoDialog::onClearV2() {
    TagFields fields = shownFields();
    clearV2Group(fields.v2);
    showFields(fields, TagVersion::V2);
}

void TagInfoDialog::onUpdate() {
    const TagFields fields = shownFields();
    if (const auto refusal = changedFieldsRefusal(loaded_, fields, single_)) {
        platform_.tell(*refusal);  // the dialog stays open with what was typed
        return;
    }
    const std::optional<CoverEdit> cover = cover_->edit();
    if (preview_) {
        TagPreviewDialog preview(
            QStringLiteral("Update"),
            [file = file_, fields, cover](PreviewProgress&) {
                return previewTagFields(file, fields, cover);
            },
            this);
        if (preview.exec() != QDialog::Accepted) {
            return;  // back to editing, nothing typed is lost
        }
    }
    const TagWriteResult result =
        writeTagChange(journal_, planFieldsAndCover(file_, fields, cover));
    if (result.outcome != TagWriteOutcome::Written) {
        // The dialog stays open so that what the user typed is not lost; Cancel leaves.
        platform_.tell(withJournalProblem(
            tagUpdateFailedMessage(file_.string(), result.outcome, result.reason), journal_));
        return;
    }
    accept();
}

}  // namespace tunex
