#pragma once

#include "gui/app/page_id.h"

#include <string_view>

class QEvent;
class QObject;
class QTabBar;
class QWidget;

namespace tunex {

// The anchor of the help page's section on a page.
[[nodiscard]] std::string_view helpSectionOf(PageId page);

// Gives the keyboard to a page as it is shown: to the control that had it there last, else to
// the first control in its Tab order.
void focusPage(QWidget& page);

// A tab's Alt+letter that a control of the shown page uses too goes to that control, clicked
// as if the letter were its alone: the page's own keys keep working where a tab shares them.
// Whether `event` was such a shortcut, now handled.
[[nodiscard]] bool givePageMnemonicFirst(QObject* watched, QEvent* event, QWidget& shownPage,
                                         const QTabBar& tabs);

}  // namespace tunex
