#include "gui/widgets/window_position.h"

#include "platform/platform.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tunex {

namespace {
constexpr const char* kKeyX = "X";
constexpr const char* kKeyY = "Y";

void centreOverOwner(QWidget& window) {
    const QWidget* owner = window.parentWidget();
    QRect area;
    if (owner != nullptr && owner->isVisible()) {
        area = owner->window()->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}
}  // namespace

void restoreWindowPosition(QWidget& window, Platform& platform) {
    const int x = platform.profileInt(kKeyX, -1);
    const int y = platform.profileInt(kKeyY, -1);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize();
    if (x < 0 || y < 0 || x >= screenSize.width() || y >= screenSize.height()) {
        centreOverOwner(window);
        return;
    }
    window.move(x, y);
}

void saveWindowPosition(const QWidget& window, Platform& platform) {
    const QPoint corner = window.frameGeometry().topLeft();
    platform.setProfileInt(kKeyX, corner.x());
    platform.setProfileInt(kKeyY, corner.y());
}

}  // namespace tunex
