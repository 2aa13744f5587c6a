#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>
#include <vector>

class QThread;

namespace tunex {

// Runs work off the GUI thread for a page that starts a new piece on every keystroke: a new start
// asks the older work to stop and drops its result, so only the newest is ever delivered, and the
// stopped ones end on their own.
class NewestWorkRunner final : public QObject {
    Q_OBJECT
public:
    explicit NewestWorkRunner(QObject* parent = nullptr);
    // Stops every piece and waits for it: none may outlive the page it reports to.
    ~NewestWorkRunner() override;
    Q_DISABLE_COPY_MOVE(NewestWorkRunner)

    // Runs `work(stop_token)` on a thread of its own; `done(result)` runs on this object's thread
    // when it ends, unless a later start or a cancel came first. Both are copied.
    template <typename Work, typename Done>
    void start(Work work, Done done) {
        using Result = std::invoke_result_t<Work&, const std::stop_token&>;
        auto result = std::make_shared<std::optional<Result>>();
        startErased([work = std::move(work),
                     result](const std::stop_token& stop) mutable { result->emplace(work(stop)); },
                    [done = std::move(done), result]() mutable { done(std::move(**result)); });
    }

    // Drops the newest result and asks every piece to stop, without waiting.
    void cancel();
    // Cancels and waits for every piece to end, e.g. before what they read changes.
    void stopAndWait();
    // Whether the newest piece has yet to deliver.
    [[nodiscard]] bool isRunning() const { return running_; }

private:
    struct Piece {
        std::uint64_t serial = 0;
        std::unique_ptr<QThread> thread;
        std::stop_source stop;
    };
    void startErased(std::function<void(const std::stop_token&)> work, std::function<void()> done);
    void retire(std::uint64_t serial);

    std::vector<Piece> pieces_;  // the newest last; the others have been asked to stop
    std::uint64_t serial_ = 0;   // also tells the newest piece from the dropped ones
    bool running_ = false;
};

}  // namespace tunex
