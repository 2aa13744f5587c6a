#include "gui/tags/easy_tag_dialog.h"

#include "gui/tags/tag_batch_run.h"

#include "platform/qt/screen_fit.h"

#include "gui/widgets/disabled_window.h"
#include "gui/widgets/wait_cursor.h"

#include "gui/tags/tag_preview_dialog.h"
#include "gui/widgets/progress_window.h"
#include "platform/platform.h"
#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tunex {

namespace {

int fieldId(NameField field) {
    return static_cast<int>(field);
}

// Broken by hand: a wrapped label gets too little height in a dialog sized to its contents.
constexpr auto kPatternHint =
    "Fields: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre%\n"
    "%skip% passes over text; a \"/\" reads the name of the folder above.";

}  // namespace

EasyTagDialog::EasyTagDialog(Platform& platform, WriteJournal& journal, EasyTagJob job,
                             QWidget* parent)
    : QDialog(parent), platform_(platform), journal_(journal), job_(std::move(job)) {
    setWindowTitle(toQString(easyTagCaption(job_.scope.folder)));
    keepWithinScreen(*this);
    const NameFormat initial;

    basedOnName_ = new QCheckBox(QStringLiteral("Set ID3 Tag based on filename"), this);
    basedOnName_->setChecked(true);
    // The only mode there is: a click cannot take the mark away.
    connect(basedOnName_, &QCheckBox::clicked, basedOnName_,
            [this] { basedOnName_->setChecked(true); });

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    connect(ok_, &QPushButton::clicked, this, &EasyTagDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &EasyTagDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(basedOnName_);
    formatGroup_ = buildFormatGroup(initial);
    layout->addWidget(formatGroup_);
    layout->addWidget(buildPatternGroup());
    layout->addWidget(buildTargetGroup(initial));
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    updateSample();
}

QWidget* EasyTagDialog::buildPatternGroup() {
    patternGroup_ = new QGroupBox(QStringLiteral("Use a filename pattern instead"), this);
    patternGroup_->setCheckable(true);
    patternGroup_->setChecked(false);
    pattern_ = new QLineEdit(QStringLiteral("%artist% - %title%"), patternGroup_);
    pattern_->setObjectName(QStringLiteral("pattern"));
    auto* hint = new QLabel(QString::fromUtf8(kPatternHint), patternGroup_);
    sample_ = new QLabel(this);
    sample_->setObjectName(QStringLiteral("sample"));
    sample_->setTextFormat(Qt::PlainText);
    sample_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* sampleGroup = new QGroupBox(QStringLiteral("Sample"), this);
    auto* sampleLayout = new QVBoxLayout(sampleGroup);
    sampleLayout->addWidget(sample_);

    auto* box = new QVBoxLayout(patternGroup_);
    box->addWidget(pattern_);
    box->addWidget(hint);
    auto* both = new QWidget(this);
    auto* layout = new QVBoxLayout(both);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(patternGroup_);
    layout->addWidget(sampleGroup);

    connect(patternGroup_, &QGroupBox::toggled, this, [this](bool on) {
        formatGroup_->setEnabled(!on);
        updateSample();
    });
    connect(pattern_, &QLineEdit::textChanged, this, &EasyTagDialog::updateSample);
    return both;
}

void EasyTagDialog::updateSample() {
    if (job_.sampleFile.empty()) {
        sample_->setText(QStringLiteral("No file to show."));
    } else if (const auto error = patternError()) {
        sample_->setText(QStringLiteral("The pattern cannot be used: ") + toQString(*error));
    } else {
        sample_->setText(toQString(nameSampleText(job_.sampleFile, shownFormat())));
    }
}

QWidget* EasyTagDialog::buildFormatGroup(const NameFormat& initial) {
    auto* group = new QGroupBox(QStringLiteral("Filename Format"), this);
    auto* row = new QHBoxLayout(group);
    for (int slot = 0; slot < kSlots; ++slot) {
        const NameSlot& start = initial.slots.at(static_cast<size_t>(slot));
        Column& column = columns_.at(static_cast<size_t>(slot));
        auto* box = new QVBoxLayout;
        column.enable = new QCheckBox(QStringLiteral("Enable"), group);
        column.enable->setObjectName(QStringLiteral("enable%1").arg(slot + 1));
        column.enable->setChecked(start.enabled);
        box->addWidget(column.enable);
        column.choices = new QButtonGroup(group);
        column.choices->setExclusive(true);
        for (NameField field : kNameFields) {
            auto* choice = new QRadioButton(toQString(nameFieldCaption(field)), group);
            column.choices->addButton(choice, fieldId(field));
            choice->setChecked(field == start.field);
            choice->setEnabled(start.enabled);
            box->addWidget(choice);
        }
        box->addStretch(1);
        row->addLayout(box, 1);
        connect(column.enable, &QCheckBox::clicked, this,
                [this, slot](bool enabled) { onEnableClicked(slot, enabled); });
        connect(column.choices, &QButtonGroup::idClicked, this, &EasyTagDialog::updateSample);

        if (slot + 1 < kSlots) {
            auto* edit = new QLineEdit(
                toQString(slot == 0 ? initial.delimiter1 : initial.delimiter2), group);
            edit->setObjectName(QStringLiteral("delimiter%1").arg(slot + 1));
            edit->setAlignment(Qt::AlignCenter);
            edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
            connect(edit, &QLineEdit::textChanged, this, &EasyTagDialog::updateSample);
            delimiters_.at(static_cast<size_t>(slot)) = edit;
            auto* label = new QLabel(QStringLiteral("Delimiter"), group);
            label->setBuddy(edit);
            auto* between = new QVBoxLayout;
            between->addStretch(1);
            between->addWidget(label, 0, Qt::AlignHCenter);
            between->addWidget(edit, 0, Qt::AlignHCenter);
            between->addStretch(1);
            row->addLayout(between);
        }
    }
    // Delimiter 2 sits between the columns that start on and off: it follows column 3 at first.
    delimiters_[0]->setEnabled(initial.slots[0].enabled);
    delimiters_[1]->setEnabled(initial.slots[2].enabled);
    return group;
}

QWidget* EasyTagDialog::buildTargetGroup(const NameFormat& initial) {
    auto* group = new QGroupBox(QStringLiteral("ID3 Tag"), this);
    group->setToolTip(
        QStringLiteral("Files other than mp3 have a single tag, which gets the "
                       "values whichever version is chosen."));
    v1_ = new QCheckBox(QStringLiteral("ID3 V1"), group);
    v2_ = new QCheckBox(QStringLiteral("ID3 V2"), group);
    // Exactly one version is the target; clicking the checked one keeps it.
    auto* target = new QButtonGroup(group);
    target->setExclusive(true);
    target->addButton(v1_);
    target->addButton(v2_);
    v1_->setChecked(initial.target == TagVersion::V1);
    v2_->setChecked(initial.target == TagVersion::V2);

    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("Set ID3 Tag as"), group));
    row->addSpacing(12);
    row->addWidget(v1_);
    row->addWidget(v2_);
    row->addStretch(1);
    return group;
}

QRadioButton* EasyTagDialog::choice(int slot, NameField field) const {
    return qobject_cast<QRadioButton*>(columns_.at(slot).choices->button(fieldId(field)));
}

void EasyTagDialog::onEnableClicked(int slot, bool enabled) {
    for (QAbstractButton* choice : columns_.at(static_cast<size_t>(slot)).choices->buttons()) {
        choice->setEnabled(enabled);
    }
    delimiters_.at(slot == 0 ? 0 : 1)->setEnabled(enabled);
    updateSample();
}

NameFormat EasyTagDialog::shownFormat() const {
    NameFormat format;
    for (int slot = 0; slot < kSlots; ++slot) {
        const Column& column = columns_.at(static_cast<size_t>(slot));
        NameSlot& out = format.slots.at(static_cast<size_t>(slot));
        out.enabled = column.enable->isChecked();
        out.field = static_cast<NameField>(column.choices->checkedId());
    }
    format.delimiter1 = toStdString(delimiters_[0]->text());
    format.delimiter2 = toStdString(delimiters_[1]->text());
    format.target = v1_->isChecked() ? TagVersion::V1 : TagVersion::V2;
    if (patternGroup_->isChecked()) {
        format.pattern =
            parseNamePattern(toStdString(pattern_->text()), PatternUse::ReadNames).pattern;
    }
    return format;
}

std::optional<std::string> EasyTagDialog::patternError() const {
    if (!patternGroup_->isChecked()) {
        return std::nullopt;
    }
    PatternParse parse = parseNamePattern(toStdString(pattern_->text()), PatternUse::ReadNames);
    return parse.pattern ? std::nullopt : std::optional<std::string>(std::move(parse.error));
}

void EasyTagDialog::onOk() {
    if (const auto error = patternError()) {
        platform_.tell(badNamePatternMessage(*error));
        return;
    }
    const NameFormat format = shownFormat();
    if (!format.describesNames()) {
        platform_.tell(noNameFormatMessage());
        return;
    }
    if (job_.preview) {
        TagPreviewDialog preview(
            QStringLiteral("Easy Tag"),
            [scope = job_.scope, format](PreviewProgress& progress) {
                return previewEasyTag(scope, format, &progress);
            },
            this);
        if (preview.exec() != QDialog::Accepted) {
            return;  // this dialog stays open to change the format
        }
    }

    EasyTagResult result;
    {
        const WaitCursor wait;
        ProgressWindow progress(platform_, this,
                                {.title = toQString(kEasyTagProgressTitle), .smoothBar = false});
        const DisabledWindow disabled(this);
        // Over the files the run will meet, which the display limit may have kept off the list.
        progress.setRange(0, countEasyTagSteps(job_.scope, job_.settingsFileTypes), 1);
        progress.setMessage(toQString(kEasyTagProgressMessage));
        progress.enableStop(false);
        // No cancel test: a half-tagged folder is worse than waiting.
        runTagBatch(progress, false, [&](const TagWalkProgress& hooks) {
            result = runEasyTag(journal_, job_.scope, format, job_.settingsFileTypes,
                                {.step = hooks.step, .cancelled = {}});
        });
        progress.destroy();
    }
    platform_.tell(easyTagResultMessage(job_.scope.folder, result));
    accept();
}

}  // namespace tunex
