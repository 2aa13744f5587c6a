#pragma once

#include "gui/widgets/wait_cursor.h"

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace tunex {

// A label shown exactly as written: texts such as "<Songs>" or a status line holding
// "song <love>" must never be taken for markup.
[[nodiscard]] QLabel* plainLabel(const QString& text, QWidget* parent);

// A push button that Enter never presses (Enter belongs to the page or to nothing).
[[nodiscard]] QPushButton* pageButton(const QString& caption, QWidget* parent);

// Gives a folder tree the tooltip colours, which set the pages' trees apart from their lists.
void useTooltipColours(QWidget& tree);

}  // namespace tunex
