#pragma once

class QWidget;

namespace tunex {

// Keeps a window within the available area of the screen it opens on, each time it is shown: a
// window larger than the area is made smaller (its content scrolls or wraps) and one standing
// past an edge is moved in, so that its buttons are always in sight. At a scale factor of 1.5 on
// 1024x768 a dialog of 900x520 would otherwise reach past the screen.
void keepWithinScreen(QWidget& window);

// The same at once, for a window already shown.
void fitWithinScreen(QWidget& window);

}  // namespace tunex
