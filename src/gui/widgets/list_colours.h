#pragma once

#include <QColor>

class QAbstractItemView;

namespace tunex {

// The lists of the search pages: tool-tip background with a dark blue text. On a dark desktop
// theme, where that blue could not be read, the tool-tip text colour is used instead.
void useInfoListColours(QAbstractItemView& view, const QColor& text);

}  // namespace tunex
