#include "gui/tags/local_listing_runner.h"

#include <QThread>

#include <algorithm>

namespace tunex {

LocalListingRunner::LocalListingRunner(QObject* parent)
    : QObject(parent), lister_([](const LocalListingRequest& request, const std::stop_token& stop) {
          return listLocalFolder(request.folder, request.types, request.includeSubfolders,
                                 request.maxResults, stop);
      }) {}

LocalListingRunner::~LocalListingRunner() {
    for (Walk& walk : walks_) {
        walk.stop.request_stop();
    }
    for (Walk& walk : walks_) {
        walk.thread->wait();
    }
}

void LocalListingRunner::start(LocalListingRequest request, Done done) {
    cancel();
    const std::uint64_t generation = generation_;
    running_ = true;
    std::stop_source stop;
    auto result = std::make_shared<LocalListing>();
    std::unique_ptr<QThread> thread(
        QThread::create([lister = lister_, request = std::move(request), token = stop.get_token(),
                         result] { *result = lister(request, token); }));
    const QThread* started = thread.get();
    connect(started, &QThread::finished, this,
            [this, started, generation, result, done = std::move(done)] {
                if (generation == generation_) {
                    running_ = false;
                    done(std::move(*result));
                }
                // Qt keeps this slot alive until it returns, though retiring the thread ends the
                // connection.
                retire(started);
            });
    walks_.push_back({std::move(thread), std::move(stop)});
    walks_.back().thread->start();
}

void LocalListingRunner::cancel() {
    ++generation_;
    running_ = false;
    for (Walk& walk : walks_) {
        walk.stop.request_stop();
    }
}

void LocalListingRunner::retire(const QThread* thread) {
    const auto found = std::find_if(walks_.begin(), walks_.end(), [thread](const Walk& walk) {
        return walk.thread.get() == thread;
    });
    if (found != walks_.end()) {
        // finished comes just before the thread ends.
        found->thread->wait();
        walks_.erase(found);
    }
}

}  // namespace tunex
