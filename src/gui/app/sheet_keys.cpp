#include "gui/app/sheet_keys.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QShortcutEvent>
#include <QTabBar>
#include <QWidget>

#include <array>

namespace tunex {

namespace {

constexpr std::array<std::string_view, kPageCount> kHelpSections = {
    "songs", "files", "history", "database", "local", "filetype", "friend", "setting", "tips"};

bool takesFocus(const QWidget& widget) {
    return (widget.focusPolicy() & Qt::TabFocus) != 0 && widget.isVisible() && widget.isEnabled();
}

// The control of `page` whose caption or buddy label has `key` as its mnemonic.
QWidget* mnemonicOwner(QWidget& page, const QKeySequence& key) {
    for (QAbstractButton* button : page.findChildren<QAbstractButton*>()) {
        if (button->isVisible() && button->isEnabled() &&
            QKeySequence::mnemonic(button->text()) == key) {
            return button;
        }
    }
    for (QLabel* label : page.findChildren<QLabel*>()) {
        if (label->buddy() != nullptr && label->isVisible() &&
            QKeySequence::mnemonic(label->text()) == key) {
            return label->buddy();
        }
    }
    return nullptr;
}

}  // namespace

std::string_view helpSectionOf(PageId page) {
    return kHelpSections[static_cast<std::size_t>(tabIndex(page))];
}

void focusPage(QWidget& page) {
    QWidget* last = page.focusWidget();
    if (last != nullptr && last != &page && takesFocus(*last)) {
        last->setFocus(Qt::TabFocusReason);
        return;
    }
    for (QWidget* next = page.nextInFocusChain(); next != nullptr && next != &page;
         next = next->nextInFocusChain()) {
        if (page.isAncestorOf(next) && takesFocus(*next)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool givePageMnemonicFirst(QObject* watched, QEvent* event, QWidget& shownPage,
                           const QTabBar& tabs) {
    if (event->type() != QEvent::Shortcut) {
        return false;
    }
    const auto* shortcut = static_cast<QShortcutEvent*>(event);
    // Qt hands an ambiguous key to each of its owners in turn, and a button so handed only
    // takes the focus; only the ambiguity between a tab and the page is settled here.
    bool tabsLetter = false;
    for (int tab = 0; tab < tabs.count() && !tabsLetter; ++tab) {
        tabsLetter = QKeySequence::mnemonic(tabs.tabText(tab)) == shortcut->key();
    }
    if (!shortcut->isAmbiguous() || !tabsLetter ||
        (watched != &tabs && !shownPage.isAncestorOf(qobject_cast<QWidget*>(watched)))) {
        return false;
    }
    QWidget* owner = mnemonicOwner(shownPage, shortcut->key());
    if (owner == nullptr) {
        return false;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(owner)) {
        button->animateClick();
    } else {
        owner->setFocus(Qt::ShortcutFocusReason);
    }
    return true;
}

}  // namespace tunex
