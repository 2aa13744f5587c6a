#pragma once

#include "gui/widgets/newest_work_runner.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <utility>

class QLineEdit;
class QTimer;

namespace tunex {

class AppContext;

// A page's search as the user types: after a short pause in the typing, off the GUI thread, the
// newest only. While the catalogue changes, the search under way is stopped and waited for and
// none starts; the one held back then runs once the change is over.
class SearchAsYouType final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kPause{100};

    // Each edit of one of `fields` drops the search under way and waits for the next pause.
    // `begin` runs after the pause, with the setting on and the catalogue steady: it reads the
    // fields and hands a search to run(), or leaves everything as it is for input its page would
    // refuse.
    SearchAsYouType(AppContext& context, std::initializer_list<const QLineEdit*> fields,
                    std::function<void()> begin, QObject* parent);
    // For a search or listing the page runs itself: the typed one waiting or under way is dropped.
    void cancel();
    // `work(stop_token)` off the GUI thread, then `done(result)` back on it unless dropped.
    template <typename Work, typename Done>
    void run(Work work, Done done) {
        runner_->start(std::move(work), std::move(done));
    }
    // A search waits for the pause or is under way.
    [[nodiscard]] bool isPending() const;

private:
    void edited();
    void pauseEnded();
    void holdForChange();
    void resumeAfterChange();

    AppContext& context_;
    std::function<void()> begin_;
    QTimer* pause_;
    NewestWorkRunner* runner_;
    bool heldBack_ = false;  // a search was waiting or under way when the catalogue began to change
};

}  // namespace tunex
