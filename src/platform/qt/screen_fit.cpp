#include "platform/qt/screen_fit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace tunex {

namespace {

// A window manager's frame is known only once the window is mapped; until then a title bar of
// about this height is allowed for.
constexpr int kTitleBarGuess = 32;

class ScreenFit final : public QObject {
public:
    explicit ScreenFit(QWidget& window) : QObject(&window) {
        setObjectName(kName);
        window.installEventFilter(this);
    }
    static constexpr QLatin1StringView kName{"tunex-screen-fit"};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            auto* window = static_cast<QWidget*>(watched);
            fitWithinScreen(*window);
            // Message boxes settle their size in their own show handling, after this one.
            QTimer::singleShot(0, window, [window] { fitWithinScreen(*window); });
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void keepWithinScreen(QWidget& window) {
    if (window.findChild<QObject*>(ScreenFit::kName, Qt::FindDirectChildrenOnly) == nullptr) {
        new ScreenFit(window);  // owned by the window
    }
}

void fitWithinScreen(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent != nullptr ? parent->screen() : window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    // The frame around the client area: measured once mapped, guessed before.
    const bool framed = frame != inner;
    const int extraWidth = framed ? frame.width() - inner.width() : 0;
    const int extraHeight = framed ? frame.height() - inner.height() : kTitleBarGuess;
    const QSize room(area.width() - extraWidth, area.height() - extraHeight);
    if (window.minimumWidth() > room.width() || window.minimumHeight() > room.height()) {
        window.setMinimumSize(window.minimumSize().boundedTo(room));
    }
    const QSize size = window.size().boundedTo(room);
    if (size != window.size()) {
        window.resize(size);
    }
    // A window made smaller stays centred where it was; then it is moved in only where it
    // stands past an edge of the area.
    const int width = size.width() + extraWidth;
    const int height = size.height() + extraHeight;
    const QPoint centre = frame.center();
    const int wantedLeft = size.width() < inner.width() ? centre.x() - width / 2 : frame.left();
    const int wantedTop = size.height() < inner.height() ? centre.y() - height / 2 : frame.top();
    const int left = std::clamp(wantedLeft, area.left(), area.right() + 1 - width);
    const int top = std::clamp(wantedTop, area.top(), area.bottom() + 1 - height);
    if (left != frame.left() || top != frame.top()) {
        window.move(left, top);
    }
}

}  // namespace tunex
