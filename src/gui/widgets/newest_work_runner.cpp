#include "gui/widgets/newest_work_runner.h"

#include <QThread>

#include <algorithm>

namespace tunex {

NewestWorkRunner::NewestWorkRunner(QObject* parent) : QObject(parent) {}

NewestWorkRunner::~NewestWorkRunner() {
    stopAndWait();
}

void NewestWorkRunner::startErased(std::function<void(const std::stop_token&)> work,
                                   std::function<void()> done) {
    cancel();
    const std::uint64_t serial = ++serial_;
    running_ = true;
    std::stop_source stop;
    std::unique_ptr<QThread> thread(QThread::create(
        [work = std::move(work), token = stop.get_token()]() mutable { work(token); }));
    // By serial, not by thread: a thread waited for and deleted may still have its end queued.
    connect(thread.get(), &QThread::finished, this, [this, serial, done = std::move(done)] {
        if (serial == serial_) {
            running_ = false;
            done();
        }
        retire(serial);
    });
    pieces_.push_back({serial, std::move(thread), std::move(stop)});
    pieces_.back().thread->start();
}

void NewestWorkRunner::cancel() {
    // A new serial for nothing: whatever ends now belongs to no start.
    ++serial_;
    running_ = false;
    for (Piece& piece : pieces_) {
        piece.stop.request_stop();
    }
}

void NewestWorkRunner::stopAndWait() {
    cancel();
    for (Piece& piece : pieces_) {
        piece.thread->wait();
    }
    pieces_.clear();
}

void NewestWorkRunner::retire(std::uint64_t serial) {
    const auto found = std::find_if(pieces_.begin(), pieces_.end(), [serial](const Piece& piece) {
        return piece.serial == serial;
    });
    if (found != pieces_.end()) {
        // finished comes just before the thread ends.
        found->thread->wait();
        pieces_.erase(found);
    }
}

}  // namespace tunex
