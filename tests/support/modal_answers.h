#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <utility>

namespace tunex::test {

// Answers the modal windows a real dialog or message box opens, from inside their event loops:
// each step runs on the next modal window that appears, in order. A window still open when no
// step is left for it after a few seconds is closed and fails the test, so that a dialog that
// refuses an answer ends the test instead of hanging it.
class ModalAnswers final {
public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalAnswers(std::deque<Step> steps) : steps_(std::move(steps)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    ~ModalAnswers() {
        EXPECT_TRUE(steps_.empty()) << steps_.size() << " modal window(s) never appeared";
    }
    ModalAnswers(const ModalAnswers&) = delete;
    ModalAnswers& operator=(const ModalAnswers&) = delete;
    ModalAnswers(ModalAnswers&&) = delete;
    ModalAnswers& operator=(ModalAnswers&&) = delete;

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            idleTicks_ = 0;
            return;
        }
        if (modal != answered_ && !steps_.empty()) {
            answered_ = modal;
            idleTicks_ = 0;
            // Run from a timer of its own: Qt does not fire a timer again while its handler is
            // still running, and the step may open a nested window that the next tick answers.
            QTimer::singleShot(0, modal,
                               [step = std::move(steps_.front()), modal] { step(modal); });
            steps_.pop_front();
            return;
        }
        if (++idleTicks_ > kPatienceTicks) {
            ADD_FAILURE() << "modal window left open: " << modal->windowTitle().toStdString();
            idleTicks_ = 0;
            modal->close();
        }
    }

    static constexpr int kPatienceTicks = 500;  // 5 s

    QTimer timer_;
    std::deque<Step> steps_;
    QPointer<QWidget> answered_;  // cleared when it goes, so a new window at its address counts
    int idleTicks_ = 0;
};

}  // namespace tunex::test
