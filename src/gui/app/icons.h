#pragma once

#include <QIcon>

namespace tunex {

// Icons painted in code, so the program ships no image files. Each icon carries pixmaps from
// 16 to 64 px; colours that sit on the window background follow the application palette, so
// call these after the QApplication exists and again after a palette change.

[[nodiscard]] QIcon programIcon();

// The tab icons, by tab index 0..8 (Songs, Files, History, Database, Local, File Type, Friend,
// Setting, Tips). Any other index gives a null icon.
[[nodiscard]] QIcon pageIcon(int tab);

[[nodiscard]] QIcon helpIcon();
[[nodiscard]] QIcon aboutIcon();
[[nodiscard]] QIcon exitIcon();

}  // namespace tunex
