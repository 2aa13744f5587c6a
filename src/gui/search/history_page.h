#pragma once

#include "core/store/settings.h"
#include "gui/app/page.h"

#include <vector>

namespace tunex {

class AppContext;

// The History tab. It holds the search history rows read at start, so that closing the program
// writes them back unchanged.
class HistoryPage final : public Page {
    Q_OBJECT
public:
    explicit HistoryPage(const AppContext& context, QWidget* parent = nullptr);

    [[nodiscard]] const std::vector<HistoryRow>& rows() const { return rows_; }

private:
    std::vector<HistoryRow> rows_;
};

}  // namespace tunex
