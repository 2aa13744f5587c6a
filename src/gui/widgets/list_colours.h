#pragma once

#include <QColor>

class QPalette;
class QWidget;

namespace tunex {

// The colours of the lists and trees that set themselves apart from the window: the tool-tip
// background with `lightText` on a light desktop theme. On a dark theme they stay dark: the
// tool-tip colours when those are dark too, else the theme's own list colours (some themes leave
// Qt's pale yellow tool-tip background in place, which would light up a dark window).
struct InfoColours {
    QColor base;
    QColor text;
};
[[nodiscard]] InfoColours infoColours(const QPalette& palette, const QColor& lightText);

// Gives the widget those colours and keeps them when the desktop theme changes while the program
// runs.
void useInfoListColours(QWidget& widget, const QColor& lightText);

}  // namespace tunex
