#include "gui/widgets/popup_menu_window.h"

#include "gui/widgets/list_colours.h"
#include "gui/widgets/popup_menu_icons.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include <algorithm>

namespace tunex {
namespace {

constexpr int kFirstItemTop = 3;
constexpr int kSeparatorHeight = 5;
constexpr int kItemHeight = 17;  // at least; taller when the font needs it
constexpr int kTextLeft = 23;    // the icon column ends at 20
constexpr int kExtraWidth = 42;  // icon column and right margin beside the widest text
constexpr int kBorder = 2;       // points at or inside this are outside the menu

QFont boldFont(QFont font) {
    font.setBold(true);
    return font;
}

QString withoutMnemonic(QString text) {
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp >= 0) {
        text.remove(amp, 1);
    }
    return text;
}

// The lower-cased letter after the "&", or a null character when there is none.
QChar mnemonicOf(const QString& text) {
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    return amp >= 0 && amp + 1 < text.size() ? text.at(amp + 1).toLower() : QChar();
}

}  // namespace

PopupMenuColours defaultPopupColours(const QPalette& palette) {
    PopupMenuColours c;
    c.frame = palette.color(QPalette::WindowText);
    c.background = palette.color(QPalette::Window);
    c.text = palette.color(QPalette::WindowText);
    c.greyText = palette.color(QPalette::Disabled, QPalette::WindowText);
    c.highlightText = palette.color(QPalette::HighlightedText);
    c.highlight = palette.color(QPalette::Highlight);
    c.light = palette.color(QPalette::Light);
    c.shadow = palette.color(QPalette::Dark);
    return c;
}

PopupMenuColours infoPopupColours(const QPalette& palette) {
    PopupMenuColours c = defaultPopupColours(palette);
    // As the lists it opens from: black on the tool-tip colour, dark on a dark theme.
    const InfoColours colours = infoColours(palette, Qt::black);
    c.background = colours.base;
    c.text = colours.text;
    c.frame = c.text;
    return c;
}

QPoint fitPopupMenu(QPoint point, QSize size, const QRect& workArea) {
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    int x = point.x();
    int y = point.y();
    if (x + size.width() > right) {
        x = std::max(workArea.x(), right - size.width());
    }
    if (y + size.height() > bottom) {
        y = std::max(workArea.y(), bottom - size.height());
    }
    return {x, y};
}

PopupMenuWindow::PopupMenuWindow(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_NoMouseReplay);  // a click outside only closes the menu
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    colours_ = defaultPopupColours(palette());
}

void PopupMenuWindow::loadMenuResources(bool withIcons) {
    items_.clear();
    withIcons_ = withIcons;
}

void PopupMenuWindow::addMenuItem(int flags, const QString& text, int command, int icon) {
    items_.push_back({flags, text, command, icon, 0, 0});
}

QSize PopupMenuWindow::layoutItems() {
    const QFontMetrics normal(font());
    const QFontMetrics bold(boldFont(font()));
    const int itemHeight = std::max(kItemHeight, std::max(normal.height(), bold.height()) + 4);
    int y = kFirstItemTop;
    int widest = 0;
    for (PopupMenuItem& item : items_) {
        item.top = y;
        const bool separator = (item.flags & kPopupSeparator) != 0;
        item.height = separator ? kSeparatorHeight : itemHeight;
        y += item.height;
        if (!separator) {
            const QFontMetrics& metrics = (item.flags & kPopupBold) != 0 ? bold : normal;
            widest = std::max(widest, metrics.horizontalAdvance(withoutMnemonic(item.text)));
        }
    }
    return {widest + kExtraWidth, y + 2};
}

int PopupMenuWindow::showMenu(QPoint globalPos) {
    QPointer<PopupMenuWindow> guard(this);
    popup(globalPos, QGuiApplication::mouseButtons());
    if (open_) {
        QEventLoop loop;
        connect(this, &PopupMenuWindow::closed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return guard.isNull() ? 0 : chosen_;
}

void PopupMenuWindow::popup(QPoint globalPos, Qt::MouseButtons held) {
    const QSize size = layoutItems();
    const QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect workArea = screen != nullptr ? screen->availableGeometry() : QRect(globalPos, size);
    setFixedSize(size);
    move(fitPopupMenu(globalPos, size, workArea));
    hovered_ = -1;
    chosen_ = 0;
    leftHeld_ = held.testFlag(Qt::LeftButton);
    rightHeld_ = held.testFlag(Qt::RightButton);
    open_ = true;
    show();
    if (!isVisible()) {
        finish(0);
    }
}

void PopupMenuWindow::finish(int command) {
    if (!open_) {
        return;
    }
    open_ = false;
    chosen_ = command;
    hide();
    Q_EMIT closed(command);
}

void PopupMenuWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    finish(chosen_);  // closed by the system (another window activated): no choice
}

bool PopupMenuWindow::isInside(QPoint point) const {
    return point.x() > kBorder && point.y() > kBorder && point.x() < width() &&
           point.y() < height();
}

int PopupMenuWindow::itemAt(QPoint point) const {
    if (!isInside(point)) {
        return -1;
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        const PopupMenuItem& item = items_[i];
        if (item.top < point.y() && point.y() < item.top + item.height) {
            const bool selectable = (item.flags & (kPopupSeparator | kPopupNotSelectable)) == 0;
            return selectable ? static_cast<int>(i) : -1;
        }
    }
    return -1;
}

void PopupMenuWindow::setHovered(int item) {
    if (item != hovered_) {
        hovered_ = item;
        update();
    }
}

void PopupMenuWindow::mouseMoveEvent(QMouseEvent* event) {
    setHovered(itemAt(event->position().toPoint()));
}

void PopupMenuWindow::mousePressEvent(QMouseEvent* event) {
    if ((event->button() == Qt::LeftButton || event->button() == Qt::RightButton) &&
        !isInside(event->position().toPoint())) {
        finish(0);
    }
}

void PopupMenuWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        onButtonReleased(event->position().toPoint(), leftHeld_);
    } else if (event->button() == Qt::RightButton) {
        onButtonReleased(event->position().toPoint(), rightHeld_);
    }
}

void PopupMenuWindow::onButtonReleased(QPoint point, bool& held) {
    if (held) {  // the button that opened the menu
        held = false;
        return;
    }
    if (!isInside(point)) {
        finish(0);
        return;
    }
    setHovered(itemAt(point));
    if (hovered_ >= 0 && items_[static_cast<size_t>(hovered_)].command != 0) {
        finish(items_[static_cast<size_t>(hovered_)].command);
    }
}

void PopupMenuWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
    const int key = event->key();
    if (key == Qt::Key_Alt || key == Qt::Key_Meta || key == Qt::Key_F10 ||
        event->modifiers().testFlag(Qt::AltModifier)) {
        finish(0);
        return;
    }
    const QString typed = event->text();
    if (typed.isEmpty() || !typed.at(0).isPrint()) {
        return;  // Escape and the arrows leave the menu as it is
    }
    const QChar letter = typed.at(0).toLower();
    for (const PopupMenuItem& item : items_) {
        if ((item.flags & (kPopupSeparator | kPopupNotSelectable | kPopupGrey)) == 0 &&
            mnemonicOf(item.text) == letter) {
            finish(item.command);
            return;
        }
    }
}

void PopupMenuWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.fillRect(rect(), colours_.frame);
    p.fillRect(rect().adjusted(1, 1, -1, -1), colours_.background);
    const QFont normal = font();
    const QFont bold = boldFont(font());
    for (size_t i = 0; i < items_.size(); ++i) {
        const PopupMenuItem& item = items_[i];
        const int y = item.top;
        if ((item.flags & kPopupSeparator) != 0) {
            p.setPen(colours_.frame);
            p.drawLine(1, y + 2, width() - 2, y + 2);
            continue;
        }
        const bool highlighted = static_cast<int>(i) == hovered_;
        const int bottom = y + item.height - 1;
        int fillLeft = 3;
        if (withIcons_ && item.icon >= 0 && item.icon < kPopupIconCount) {
            p.setPen(highlighted ? colours_.light : colours_.background);
            p.drawLine(3, bottom, 3, y);
            p.drawLine(3, y, 20, y);
            p.setPen(highlighted ? colours_.shadow : colours_.background);
            p.drawLine(20, y, 20, bottom);
            p.drawLine(20, bottom, 3, bottom);
            const int iconTop = y + (item.height - kPopupIconHeight) / 2;
            p.drawPixmap(4, iconTop, popupMenuIcon(item.icon, devicePixelRatioF()));
            fillLeft = 21;
        }
        p.fillRect(QRect(QPoint(fillLeft, y), QPoint(width() - 3, bottom)),
                   highlighted ? colours_.highlight : colours_.background);
        p.setFont((item.flags & kPopupBold) != 0 ? bold : normal);
        p.setPen(highlighted                      ? colours_.highlightText
                 : (item.flags & kPopupGrey) != 0 ? colours_.greyText
                                                  : colours_.text);
        p.drawText(QRect(kTextLeft, y, width() - kTextLeft - 2, item.height),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextDontClip,
                   item.text);
    }
}

}  // namespace tunex
