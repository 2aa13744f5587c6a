#pragma once

#include <QWidget>

namespace tunex {

// A tab of the main sheet. Pages pick up what other pages left for them when they become active.
class Page : public QWidget {
    Q_OBJECT
public:
    explicit Page(QWidget* parent = nullptr) : QWidget(parent) {}

    // Called each time the page becomes the active tab.
    virtual void activate() {}
    // Called after the main window was maximised or restored; pages with lists override it to
    // set their column widths.
    virtual void setWindowMaximized(bool maximized) { windowMaximized_ = maximized; }
    [[nodiscard]] bool isWindowMaximized() const { return windowMaximized_; }

private:
    bool windowMaximized_ = false;
};

}  // namespace tunex
