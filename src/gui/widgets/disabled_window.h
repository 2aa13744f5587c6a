#pragma once

#include <QPointer>
#include <QWidget>

namespace tunex {

// Keeps a window disabled for a scope, however the scope ends, so that input cannot reach it
// while a long run lets events through.
class DisabledWindow final {
public:
    explicit DisabledWindow(QWidget* window) : window_(window) { window_->setEnabled(false); }
    ~DisabledWindow() {
        if (window_ != nullptr) {
            window_->setEnabled(true);
        }
    }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;
    DisabledWindow(DisabledWindow&&) = delete;
    DisabledWindow& operator=(DisabledWindow&&) = delete;

private:
    QPointer<QWidget> window_;
};

}  // namespace tunex
