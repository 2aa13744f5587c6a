#pragma once

#include "core/collections/file_type_list.h"
#include "core/tags/local_listing.h"
#include "gui/widgets/newest_work_runner.h"

#include <QObject>

#include <functional>
#include <stop_token>
#include <string>

namespace tunex {

// What one listing of the Local page walks.
struct LocalListingRequest {
    std::string folder;
    FileTypeList types;  // a copy: the File Type page may change the shared list meanwhile
    bool includeSubfolders = true;
    int maxResults = 0;
};

// Runs the Local page's listings off the GUI thread, one that counts at a time: a new start stops
// the walk still running and drops its result, so stepping through the tree with the arrow keys
// never piles up walks or shows an older folder's files.
class LocalListingRunner final : public QObject {
    Q_OBJECT
public:
    using Lister = std::function<LocalListing(const LocalListingRequest&, const std::stop_token&)>;
    using Done = std::function<void(LocalListing)>;

    explicit LocalListingRunner(QObject* parent = nullptr);
    // Stops every walk and waits for it: none may outlive the page it reports to.
    ~LocalListingRunner() override;
    Q_DISABLE_COPY_MOVE(LocalListingRunner)

    // `done` runs on this object's thread when the walk ends, unless a later start or a cancel
    // came first.
    void start(LocalListingRequest request, Done done);
    void cancel() { walks_.cancel(); }
    // Whether the newest listing is still being walked; stopped ones may still be ending.
    [[nodiscard]] bool isRunning() const { return walks_.isRunning(); }
    // The walk itself, listLocalFolder unless a test puts in one it can hold up.
    void setLister(Lister lister) { lister_ = std::move(lister); }

private:
    Lister lister_;
    NewestWorkRunner walks_;
};

}  // namespace tunex
