#include "gui/tags/rename_dialog.h"

#include "core/tags/rename_from_tags.h"
#include "gui/app/app_context.h"
#include "gui/tags/tag_batch_run.h"
#include "gui/tags/tag_preview_dialog.h"
#include "gui/widgets/disabled_window.h"
#include "gui/widgets/progress_window.h"
#include "gui/widgets/wait_cursor.h"
#include "platform/platform.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/screen_fit.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunex {

namespace {

constexpr auto kHint =
    "Fields: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre%\n"
    "%track% has two digits (%track:3% three); a \"/\" makes a folder below the file's own.";

}  // namespace

std::string renameDialogCaption(std::string_view folder) {
    return "Tunex - Name Files from Tags under " + std::string(folder);
}

RenameFromTagsDialog::RenameFromTagsDialog(AppContext& context, TagScope scope,
                                           std::string sampleFile, QWidget* parent)
    : QDialog(parent),
      context_(context),
      scope_(std::move(scope)),
      sampleFile_(std::move(sampleFile)),
      pattern_(new QLineEdit(QStringLiteral("%artist% - %title%"), this)),
      sample_(new QLabel(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(toQString(renameDialogCaption(scope_.folder)));
    auto* group = new QGroupBox(QStringLiteral("Filename Pattern"), this);
    auto* hint = new QLabel(QString::fromUtf8(kHint), group);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(pattern_);
    groupLayout->addWidget(hint);
    auto* sampleGroup = new QGroupBox(QStringLiteral("Sample"), this);
    sample_->setTextFormat(Qt::PlainText);
    sample_->setWordWrap(true);
    sample_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* sampleLayout = new QVBoxLayout(sampleGroup);
    sampleLayout->addWidget(sample_);

    ok_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(sampleGroup);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());
    keepWithinScreen(*this);

    connect(pattern_, &QLineEdit::textChanged, this, &RenameFromTagsDialog::updateSample);
    connect(ok_, &QPushButton::clicked, this, &RenameFromTagsDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    updateSample();
}

void RenameFromTagsDialog::updateSample() {
    const PatternParse parse =
        parseNamePattern(toStdString(pattern_->text()), PatternUse::MakeNames);
    if (!parse.pattern) {
        sample_->setText(QStringLiteral("The pattern cannot be used: ") + toQString(parse.error));
        return;
    }
    if (sampleFile_.empty()) {
        sample_->setText(QStringLiteral("No file to show."));
        return;
    }
    const std::size_t slash = sampleFile_.rfind('/');
    const std::string name = sampleFile_.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    const NameFromTags made = nameFromTags(
        *parse.pattern, tagsForNaming(sampleFile_),
        dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1),
        nameRulesOf(sampleFile_.substr(0, slash)));
    sample_->setText(pathToQString(name) + QStringLiteral("\n→ ") +
                     (made.name ? pathToQString(*made.name)
                                : QStringLiteral("left alone: ") + toQString(made.reason)));
}

void RenameFromTagsDialog::onOk() {
    PatternParse parse = parseNamePattern(toStdString(pattern_->text()), PatternUse::MakeNames);
    if (!parse.pattern) {
        context_.platform().tell({"The filename pattern cannot be used: " + parse.error + ".",
                                  captionFor("Filename pattern"), MessageIcon::Question});
        return;
    }
    auto plan = std::make_shared<RenamePlan>();
    TagPreviewDialog preview(
        QStringLiteral("Name Files from Tags"),
        [plan, scope = scope_, pattern = *parse.pattern](PreviewProgress& progress) {
            *plan = planRenames(scope, pattern, &progress);
            return renamePreview(*plan);
        },
        this);
    if (preview.exec() != QDialog::Accepted) {
        return;  // this dialog stays open to change the pattern
    }
    RenameResult result;
    {
        const WaitCursor wait;
        ProgressWindow progress(context_.platform(), this,
                                {.title = toQString(kRenameProgressTitle), .smoothBar = false});
        const DisabledWindow disabled(this);
        progress.setRange(0, static_cast<int>(plan->renames.size()), 1);
        progress.setMessage(toQString(kRenameProgressMessage));
        runTagBatch(progress, true, [&](const TagWalkProgress& hooks) {
            result = applyRenames(context_.workspace().journal(), plan->renames, hooks);
        });
        progress.destroy();
        const FollowedRenames followed = context_.followRenamedFiles(result.renamed, false);
        result.collectionRecords = followed.records;
        result.collectionError = followed.error;
    }
    context_.platform().tell(withJournalProblem(renameResultMessage(scope_.folder, *plan, result),
                                                context_.workspace().journal()));
    accept();
}

}  // namespace tunex
