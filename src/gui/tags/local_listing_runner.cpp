#include "gui/tags/local_listing_runner.h"

namespace tunex {

LocalListingRunner::LocalListingRunner(QObject* parent)
    : QObject(parent), lister_([](const LocalListingRequest& request, const std::stop_token& stop) {
          return listLocalFolder(request.folder, request.types, request.includeSubfolders,
                                 request.maxResults, stop);
      }) {}

LocalListingRunner::~LocalListingRunner() {
    walks_.stopAndWait();
}

void LocalListingRunner::start(LocalListingRequest request, Done done) {
    walks_.start([lister = lister_, request = std::move(request)](
                     const std::stop_token& stop) { return lister(request, stop); },
                 std::move(done));
}

}  // namespace tunex
