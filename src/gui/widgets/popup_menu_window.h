#pragma once

#include <QColor>
#include <QWidget>

#include <optional>
#include <type_traits>
#include <vector>

namespace tunex {

// Item flags; callers combine them (an unavailable entry is kPopupNotSelectable | kPopupGrey).
enum PopupItemFlag : int {
    kPopupSeparator = 1,      // a line, never highlighted or chosen
    kPopupNotSelectable = 2,  // never highlighted, never chosen by key
    kPopupBold = 4,
    kPopupGrey = 8,  // grey text, never chosen by key
};

struct PopupMenuItem {
    int flags = 0;
    QString text;     // may hold one "&" before the accelerator letter
    int command = 0;  // 0 = none
    int icon = -1;    // index into the icon strip, -1 = none
    int top = 0;      // placed when the menu opens
    int height = 0;
};

struct PopupMenuColours {
    QColor frame;
    QColor background;
    QColor text;
    QColor greyText;
    QColor highlightText;
    QColor highlight;
    QColor light;
    QColor shadow;
};
[[nodiscard]] PopupMenuColours defaultPopupColours(const QPalette& palette);
// Black text and frame on the tool-tip background, as the result lists use it.
[[nodiscard]] PopupMenuColours infoPopupColours(const QPalette& palette);

// Where a menu of `size` opened at `point` goes: moved left or up just enough to stay inside
// `workArea`, but never beyond its left or top edge.
[[nodiscard]] QPoint fitPopupMenu(QPoint point, QSize size, const QRect& workArea);

// Our own right-click menu: items with small painted icons, accelerator letters that choose at
// once, and the command of the chosen item as the result.
class PopupMenuWindow final : public QWidget {
    Q_OBJECT
public:
    explicit PopupMenuWindow(QWidget* parent = nullptr);

    void setColours(const PopupMenuColours& colours) { colours_ = colours; }
    // Removes every item; the icon strip is drawn unless `withIcons` is false.
    void loadMenuResources(bool withIcons = true);
    void addMenuItem(int flags, const QString& text = {}, int command = 0, int icon = -1);
    // The same for a page's enum of commands, whose values start at 1.
    template <typename Command>
    requires std::is_enum_v<Command>
    void addMenuItem(int flags, const QString& text, Command command, int icon = -1) {
        addMenuItem(flags, text, static_cast<int>(command), icon);
    }
    [[nodiscard]] const std::vector<PopupMenuItem>& items() const { return items_; }

    // Opens the menu at a screen point, waits until it closes and returns the chosen command,
    // 0 when it closed without a choice.
    [[nodiscard]] int showMenu(QPoint globalPos);
    // showMenu for a page's enum of commands; empty when closed without a choice.
    template <typename Command>
    requires std::is_enum_v<Command>
    [[nodiscard]] std::optional<Command> showMenuFor(QPoint globalPos) {
        const int command = showMenu(globalPos);
        return command == 0 ? std::nullopt : std::optional(static_cast<Command>(command));
    }
    // Opens without waiting; `held` are the mouse buttons still down, whose next release is
    // ignored. `closed` reports the command.
    void popup(QPoint globalPos, Qt::MouseButtons held);

    [[nodiscard]] int hoveredItem() const { return hovered_; }
    [[nodiscard]] int chosenCommand() const { return chosen_; }

Q_SIGNALS:
    void closed(int command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    [[nodiscard]] QSize layoutItems();
    [[nodiscard]] int itemAt(QPoint point) const;
    [[nodiscard]] bool isInside(QPoint point) const;
    void setHovered(int item);
    void onButtonReleased(QPoint point, bool& held);
    void finish(int command);

    std::vector<PopupMenuItem> items_;
    PopupMenuColours colours_;
    bool withIcons_ = true;
    int hovered_ = -1;
    int chosen_ = 0;
    bool open_ = false;
    bool leftHeld_ = false;
    bool rightHeld_ = false;
};

}  // namespace tunex
