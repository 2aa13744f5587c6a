#pragma once

class QWidget;

namespace tunex {

class Platform;

// Moves a window to the place remembered in the profile ("X", "Y"), or centres it over its
// owner when no place is remembered or the place lies off the screen.
void restoreWindowPosition(QWidget& window, Platform& platform);
// Remembers the window's top-left corner.
void saveWindowPosition(const QWidget& window, Platform& platform);

}  // namespace tunex
