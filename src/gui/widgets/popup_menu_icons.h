#pragma once

#include <QPixmap>

namespace tunex {

// The popup menu's icon strip: undo, redo, scissors, copy, paste, delete; each 16 x 15.
inline constexpr int kPopupIconCount = 6;
inline constexpr int kPopupIconWidth = 16;
inline constexpr int kPopupIconHeight = 15;

// Icon `index` painted for a screen with `devicePixelRatio`; a null pixmap for other indexes.
[[nodiscard]] QPixmap popupMenuIcon(int index, qreal devicePixelRatio = 1.0);

}  // namespace tunex
