#include "gui/tags/tidy_dialog.h"

#include "core/tags/batch_scope.h"
#include "core/tags/tag_preview.h"
#include "gui/app/app_context.h"
#include "gui/tags/local_clear_tools.h"
#include "gui/tags/tag_batch_run.h"
#include "gui/widgets/disabled_window.h"
#include "gui/widgets/progress_window.h"
#include "gui/widgets/wait_cursor.h"
#include "platform/platform.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/screen_fit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tunex {

namespace {

// In the order of TidyCase.
constexpr std::array<const char*, 5> kCaseLabels = {"&Keep the case", "&Title Case", "&lower case",
                                                    "&UPPER CASE", "&First letter capital"};

std::size_t caseIndex(TidyCase textCase) {
    return static_cast<std::size_t>(textCase);
}

std::size_t fieldIndex(TagField field) {
    return static_cast<std::size_t>(std::ranges::find(kTidyFields, field) - kTidyFields.begin());
}

}  // namespace

TidyDialog::TidyDialog(Platform& platform, const std::string& folder, int files, QWidget* parent)
    : QDialog(parent), platform_(platform) {
    setWindowTitle(toQString(tidyCaption(folder)));

    spaces_ = new QCheckBox(QStringLiteral("Trim and collapse &spaces"), this);
    underscores_ = new QCheckBox(QStringLiteral("Replace _ by a &blank"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    connect(ok_, &QPushButton::clicked, this, &TidyDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &TidyDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        toQString("Tidies the tags of " + musicFileCountText(files) + " under " + folder + "."),
        this));
    layout->addWidget(buildCaseGroup());
    layout->addWidget(spaces_);
    layout->addWidget(underscores_);
    layout->addWidget(buildFieldGroup());
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    keepWithinScreen(*this);
}

QWidget* TidyDialog::buildCaseGroup() {
    auto* group = new QGroupBox(QStringLiteral("Case"), this);
    auto* column = new QVBoxLayout(group);
    for (std::size_t i = 0; i < cases_.size(); ++i) {
        cases_.at(i) = new QRadioButton(QString::fromLatin1(kCaseLabels.at(i)), group);
        column->addWidget(cases_.at(i));
    }
    caseButton(TidyCase::Title)->setChecked(true);
    return group;
}

QWidget* TidyDialog::buildFieldGroup() {
    auto* group = new QGroupBox(QStringLiteral("Fields"), this);
    auto* row = new QHBoxLayout(group);
    const TidyJob initial;
    for (const TagField field : kTidyFields) {
        const TagFieldRow* tableRow = findTagField(TagVersion::V2, field);
        auto* box = new QCheckBox(toQString(tableRow->label), group);
        box->setChecked(std::ranges::find(initial.fields, field) != initial.fields.end());
        fields_.at(fieldIndex(field)) = box;
        row->addWidget(box);
    }
    row->addStretch(1);
    return group;
}

QRadioButton* TidyDialog::caseButton(TidyCase textCase) const {
    return cases_.at(caseIndex(textCase));
}

QCheckBox* TidyDialog::fieldBox(TagField field) const {
    return fields_.at(fieldIndex(field));
}

TidyJob TidyDialog::shownJob() const {
    TidyJob job;
    for (std::size_t i = 0; i < cases_.size(); ++i) {
        if (cases_.at(i)->isChecked()) {
            job.rules.textCase = static_cast<TidyCase>(i);
        }
    }
    job.rules.spaces = spaces_->isChecked();
    job.rules.underscores = underscores_->isChecked();
    job.fields.clear();
    for (const TagField field : kTidyFields) {
        if (fieldBox(field)->isChecked()) {
            job.fields.push_back(field);
        }
    }
    return job;
}

void TidyDialog::onOk() {
    const TidyJob job = shownJob();
    if (!job.rules.any()) {
        platform_.tell(noTidyRuleMessage());
        return;
    }
    if (job.fields.empty()) {
        platform_.tell(noTidyFieldMessage());
        return;
    }
    accept();
}

bool tidyChosenFiles(AppContext& context, QWidget* owner, const std::string& folder,
                     ScopeChoice choice, ProgressWindow*& shown) {
    Platform& platform = context.platform();
    const TagScope scope = std::move(choice.scope);
    int files = 0;
    {
        const WaitCursor wait;
        files = countMusicFiles(scope);
    }
    TidyDialog dialog(platform, folder, files, owner);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const TidyJob job = dialog.shownJob();
    if (!previewAccepted(context, owner, QStringLiteral("Tidy"),
                         [scope, job](PreviewProgress& progress) {
                             return previewTidy(scope, job, &progress);
                         })) {
        return false;
    }
    TidyResult result;
    {
        ProgressWindow progress(platform, owner,
                                {.title = toQString(kTidyProgressTitle), .smoothBar = false});
        shown = &progress;
        const DisabledWindow sheet(owner->window());
        progress.setRange(0, files, 1);
        progress.setMessage(toQString(kTidyProgressMessage));
        runTagBatch(progress, true, [&](const TagWalkProgress& hooks) {
            result = runTidy(context.workspace().journal(), scope, job, hooks);
        });
        progress.destroy();
        shown = nullptr;
    }
    platform.tell(
        withJournalProblem(tidyResultMessage(folder, result), context.workspace().journal()));
    return true;
}

}  // namespace tunex
