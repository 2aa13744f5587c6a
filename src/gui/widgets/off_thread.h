#pragma once

#include <QEventLoop>
#include <QThread>

#include <memory>
#include <utility>

namespace tunex {

// Runs `work` on a thread of its own and returns its result, while the window goes on painting
// (and showing that something is under way). The caller keeps input away, e.g. with
// DisabledWindow: events are let through meanwhile.
template <typename Work>
[[nodiscard]] auto runOffThread(Work work) {
    decltype(work()) result{};
    const std::unique_ptr<QThread> thread(QThread::create([&] { result = work(); }));
    QEventLoop loop;
    // Queued to this thread, so the quit cannot come before the loop runs.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    (void)loop.exec();
    // The application may be quitting, which ends every loop early: the work still finishes.
    thread->wait();
    return result;
}

}  // namespace tunex
