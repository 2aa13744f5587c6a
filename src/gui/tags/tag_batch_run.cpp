#include "gui/tags/tag_batch_run.h"

#include "gui/widgets/progress_window.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>

namespace tunex {

namespace {

// How often the bar follows the batch: smooth to the eye, nothing to the batch.
constexpr int kFollowMs = 40;

}  // namespace

void runTagBatch(ProgressWindow& progress, bool cancelOnEscape,
                 const std::function<void(const TagWalkProgress&)>& batch) {
    // The window paints before the first file; a Stop pressed by then ends the batch after it.
    progress.pumpMessages(cancelOnEscape);
    std::atomic<int> steps{0};
    std::atomic<bool> stop{progress.isCancelled()};
    const TagWalkProgress hooks{
        .step = [&steps] { steps.fetch_add(1, std::memory_order_relaxed); },
        .cancelled = [&stop] { return stop.load(std::memory_order_relaxed); }};
    const int start = progress.position();
    const auto follow = [&] {
        progress.setPosition(start + steps.load(std::memory_order_relaxed) * progress.step());
        if (progress.isCancelled()) {
            stop.store(true, std::memory_order_relaxed);
        }
    };

    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create([&batch, &hooks] { batch(hooks); }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setInterval(kFollowMs);
    QObject::connect(&timer, &QTimer::timeout, &loop, follow);
    progress.guardInput(cancelOnEscape);
    worker->start();
    timer.start();
    loop.exec();
    timer.stop();
    progress.releaseInput();
    worker->wait();
    follow();
}

}  // namespace tunex
