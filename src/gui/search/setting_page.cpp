#include "gui/search/setting_page.h"

#include "core/search/setting_rules.h"
#include "core/store/statistics.h"
#include "gui/app/app_context.h"
#include "gui/widgets/page_controls.h"
#include "platform/qt/qt_text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

namespace tunex {

namespace {

template <size_t N>
QComboBox* entryList(const std::array<std::string_view, N>& entries, QWidget* parent) {
    auto* list = new QComboBox(parent);
    for (const std::string_view entry : entries) {
        list->addItem(toQString(entry));
    }
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

// Refuses what could never become a value, so a slip or a long paste never lands; a value outside
// the limits may stand while it is typed (on the way from 1 to 15, say).
class LimitValidator final : public QValidator {
public:
    LimitValidator(int highest, QObject* parent) : QValidator(parent), highest_(highest) {}

    State validate(QString& input, int& /*position*/) const override {
        switch (classifyLimitEntry(toStdString(input), highest_)) {
            case LimitEntry::Refused:
                return Invalid;
            case LimitEntry::Incomplete:
                return Intermediate;
            case LimitEntry::Complete:
                break;
        }
        return Acceptable;
    }

private:
    int highest_;
};

QLineEdit* numberEdit(int highest, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setValidator(new LimitValidator(highest, edit));
    edit->setAlignment(Qt::AlignRight);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    return edit;
}

// GNOME's error reds: the dark one reads on a light window, the light one on a dark window.
QColor errorColour(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x7b, 0x63)
                                                             : QColor(0xc0, 0x1c, 0x28);
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* layout = new QHBoxLayout;
    for (QWidget* widget : widgets) {
        layout->addWidget(widget);
    }
    layout->addStretch(1);
    return layout;
}

}  // namespace

SettingPage::SettingPage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
    const Settings& settings = context_.settings();

    auto* left = new QVBoxLayout;
    left->addWidget(makeSettingsGroup());
    left->addWidget(makeSensitivityGroup());
    left->addWidget(makeStartupGroup());
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(plainLabel(QStringLiteral("<Database Statistics>"), this));
    for (QLabel*& line : statistics_) {
        line = plainLabel({}, this);
        right->addWidget(line);
    }
    right->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addSpacing(12);
    layout->addLayout(right);

    // Values after the controls exist, so no handler sees a half-built page.
    const int sensitivity = settings.searchSensitivity == 1 || settings.searchSensitivity == 2
                                ? settings.searchSensitivity
                                : 3;
    sensitivity_->button(sensitivity)->setChecked(true);
    startMaximized_->setChecked(settings.startMaximized == 1);
    preview_->setChecked(settings.previewTagChanges);
    fillStatistics();
    for (const LimitField& field : limits_) {
        showLimit(field);
    }
    defaultTab_->setCurrentIndex(
        settings.defaultTab >= 1 && settings.defaultTab <= 8 ? settings.defaultTab - 1 : -1);
    sortColumn_->setCurrentIndex(
        settings.sortColumn >= 0 && settings.sortColumn <= 6 ? settings.sortColumn : -1);
    columns_->setCurrentIndex(0);
    onColumnChosen();
}

QWidget* SettingPage::makeSettingsGroup() {
    auto* group = new QGroupBox(QStringLiteral("Settings"), this);
    makeLimitFields(group);
    sortColumn_ = entryList(kSortColumnEntries, group);
    columns_ = entryList(kColumnEntries, group);
    insert_ = pageButton(QStringLiteral("&Insert"), group);
    remove_ = pageButton(QStringLiteral("&Remove"), group);
    // No boxes for resizing columns on Maximize or for the default player: the lists always use
    // the window's width and songs always open in the desktop's own player first.
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(
        row({plainLabel(QStringLiteral("(1) Display maximum "), group), maxResults_,
             plainLabel(QStringLiteral("records in search; keep"), group), maxHistory_,
             plainLabel(QStringLiteral("records in search history."), group)}));
    layout->addWidget(limitHint_);
    layout->addLayout(
        row({plainLabel(QStringLiteral("(2) Sort search results by "), group), sortColumn_,
             plainLabel(QStringLiteral("in <Songs> and <Files>."), group)}));
    layout->addLayout(row({plainLabel(QStringLiteral("(3) Columns shown in search result"), group),
                           columns_, insert_, remove_}));

    connect(sortColumn_, &QComboBox::activated, this, &SettingPage::onSortColumnChosen);
    connect(columns_, &QComboBox::currentIndexChanged, this, &SettingPage::onColumnChosen);
    connect(insert_, &QPushButton::clicked, this, &SettingPage::onInsert);
    connect(remove_, &QPushButton::clicked, this, &SettingPage::onRemove);
    return group;
}

void SettingPage::makeLimitFields(QWidget* group) {
    maxResults_ = numberEdit(kMaxResultsLimit, group);
    maxHistory_ = numberEdit(kMaxHistoryLimit, group);
    limits_ = {LimitField{maxResults_, &Settings::maxResults, kMaxResultsLimit, &checkMaxResults},
               LimitField{maxHistory_, &Settings::maxHistory, kMaxHistoryLimit, &checkMaxHistory}};

    limitHint_ = plainLabel({}, group);
    QFont small = limitHint_->font();
    if (small.pointSizeF() > 0) {
        small.setPointSizeF(small.pointSizeF() * 0.9);
    }
    limitHint_->setFont(small);
    // The rows below stay put when the hint comes and goes.
    QSizePolicy policy = limitHint_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    limitHint_->setSizePolicy(policy);
    limitHint_->hide();
    colourHint();

    for (const LimitField& field : limits_) {
        field.edit->installEventFilter(this);
        connect(field.edit, &QLineEdit::textEdited, this, [this, &field] { onLimitEdited(field); });
        // The sheet keeps Enter from the edit itself; a shortcut still hears it.
        for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
            auto* enter = new QShortcut(QKeySequence(key), field.edit);
            enter->setContext(Qt::WidgetShortcut);
            connect(enter, &QShortcut::activated, this, [this, &field] { settleLimit(field); });
        }
    }
}

QWidget* SettingPage::makeSensitivityGroup() {
    auto* group = new QGroupBox(QStringLiteral("Search Sensitivity"), this);
    auto* layout = new QVBoxLayout(group);
    sensitivity_ = new QButtonGroup(group);
    sensitivity_->setExclusive(true);
    for (int level = 1; level <= 3; ++level) {
        auto* box =
            new QRadioButton(toQString(kSensitivityLabels[static_cast<size_t>(level - 1)]), group);
        sensitivity_->addButton(box, level);
        layout->addWidget(box);
    }
    connect(sensitivity_, &QButtonGroup::idClicked, this,
            [this](int level) { context_.settings().searchSensitivity = level; });
    // Kept in the desktop profile, like the window's place: the settings file keeps its format.
    searchAsYouType_ = new QCheckBox(QStringLiteral("Search as you type"), group);
    searchAsYouType_->setChecked(context_.searchAsYouType());
    layout->addWidget(searchAsYouType_);
    connect(searchAsYouType_, &QCheckBox::clicked, this,
            [this](bool checked) { context_.setSearchAsYouType(checked); });
    // Off by default: "bjork" finds "Björk".
    matchAccents_ = new QCheckBox(QStringLiteral("Match accents exactly"), group);
    matchAccents_->setChecked(context_.settings().matchAccentsExactly);
    layout->addWidget(matchAccents_);
    connect(matchAccents_, &QCheckBox::clicked, this,
            [this](bool checked) { context_.settings().matchAccentsExactly = checked; });
    return group;
}

QWidget* SettingPage::makeStartupGroup() {
    auto* group = new QGroupBox(QStringLiteral("Startup Options"), this);
    defaultTab_ = entryList(kDefaultTabEntries, group);
    startMaximized_ = new QCheckBox(QStringLiteral("Start program as maximized."), group);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(row({plainLabel(QStringLiteral("Set"), group), defaultTab_,
                           plainLabel(QStringLiteral("as the default tab."), group)}));
    layout->addWidget(startMaximized_);
    preview_ = new QCheckBox(QStringLiteral("Show Easy Tag and Clear All Tag changes before "
                                            "writing them."),
                             group);
    layout->addWidget(preview_);
    connect(preview_, &QCheckBox::clicked, this,
            [this](bool checked) { context_.settings().previewTagChanges = checked; });
    connect(defaultTab_, &QComboBox::activated, this,
            [this](int entry) { context_.settings().defaultTab = entry + 1; });
    connect(startMaximized_, &QCheckBox::clicked, this,
            [this](bool checked) { context_.settings().startMaximized = checked ? 1 : 0; });
    return group;
}

void SettingPage::activate() {
    fillStatistics();
    for (const LimitField& field : limits_) {
        showLimit(field);
    }
}

QString SettingPage::statisticLine(int line) const {
    return statistics_[static_cast<size_t>(line)]->text();
}

void SettingPage::fillStatistics() {
    const auto lines = catalogueStatistics(context_.settings());
    for (size_t i = 0; i < lines.size(); ++i) {
        statistics_[i]->setText(toQString(lines[i]));
    }
}

void SettingPage::showLimit(const LimitField& field) {
    field.edit->setText(QString::number(context_.settings().*field.value));
    limitHint_->hide();
}

void SettingPage::onLimitEdited(const LimitField& field) {
    const std::string text = toStdString(field.edit->text());
    if (classifyLimitEntry(text, field.highest) == LimitEntry::Complete) {
        context_.settings().*field.value = *parseWholeNumber(text);
        limitHint_->hide();
        return;
    }
    limitHint_->setText(QStringLiteral("Enter a whole number from 1 to %1.").arg(field.highest));
    limitHint_->show();
}

void SettingPage::settleLimit(const LimitField& field) {
    const std::string text = toStdString(field.edit->text());
    std::optional<UserMessage> refusal;
    if (classifyLimitEntry(text, field.highest) != LimitEntry::Complete) {
        const auto typed = parseWholeNumber(text);
        refusal = typed ? field.check(*typed) : notIntegerMessage();
    }
    // Also turns "0030" into "30": the edit shows the value in effect, as it is stored.
    showLimit(field);
    if (refusal) {
        // After the event that left the edit (a click, a tab change) has finished: a modal box
        // inside it would take the click or stop the page change halfway.
        QTimer::singleShot(0, this,
                           [this, message = *refusal] { context_.platform().tell(message); });
    }
}

void SettingPage::settleLimits() {
    for (const LimitField& field : limits_) {
        settleLimit(field);
    }
}

bool SettingPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // The edit's own menu and a switch to another window do not leave the edit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            for (const LimitField& field : limits_) {
                if (watched == field.edit) {
                    settleLimit(field);
                }
            }
        }
    }
    return Page::eventFilter(watched, event);
}

void SettingPage::hideEvent(QHideEvent* event) {
    Page::hideEvent(event);
    // Another tab was chosen; a window being closed or minimised leaves the edits alone.
    if (!event->spontaneous() && window()->isVisible()) {
        settleLimits();
    }
}

void SettingPage::changeEvent(QEvent* event) {
    Page::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        colourHint();
    }
}

void SettingPage::colourHint() {
    QPalette hint;
    hint.setColor(QPalette::WindowText, errorColour(palette()));
    limitHint_->setPalette(hint);
}

void SettingPage::onSortColumnChosen(int entry) {
    Settings& settings = context_.settings();
    if (const auto refusal = checkSortColumnChoice(entry, settings.showColumns)) {
        context_.platform().tell(*refusal);
        sortColumn_->setCurrentIndex(
            settings.sortColumn >= 0 && settings.sortColumn <= 6 ? settings.sortColumn : -1);
        return;
    }
    settings.sortColumn = entry;
}

void SettingPage::onColumnChosen() {
    const int entry = columns_->currentIndex();
    if (entry < 0) {
        return;
    }
    const bool shown = context_.settings().showColumns[static_cast<size_t>(entry)] != 0;
    insert_->setEnabled(!shown);
    remove_->setEnabled(shown);
}

void SettingPage::setColumnShown(int entry, bool shown) {
    context_.settings().showColumns[static_cast<size_t>(entry)] = shown ? 1 : 0;
    context_.announceColumnsChanged();
    onColumnChosen();
}

void SettingPage::onInsert() {
    const int entry = columns_->currentIndex();
    if (entry < 0) {
        context_.platform().tell(noColumnSelectedMessage());
        return;
    }
    setColumnShown(entry, true);
}

void SettingPage::onRemove() {
    const int entry = columns_->currentIndex();
    if (entry < 0) {
        context_.platform().tell(noColumnSelectedMessage());
        return;
    }
    Settings& settings = context_.settings();
    if (isSortColumnEntry(entry, settings.sortColumn)) {
        const MessageAnswer answer =
            context_.platform().showMessage({removeSortingColumnQuestion(), MessageButtons::YesNo});
        if (answer != MessageAnswer::Yes) {
            return;
        }
        settings.sortColumn = 0;
        sortColumn_->setCurrentIndex(0);
    }
    setColumnShown(entry, false);
    if (const auto notice = columnRemovedNotice(entry)) {
        context_.platform().tell(*notice);
    }
}

}  // namespace tunex
