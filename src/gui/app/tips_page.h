#pragma once

#include "core/store/tips.h"
#include "gui/app/page.h"

#include <QFont>

class QLabel;
class QPushButton;

namespace tunex {

class AppContext;

// One usage tip at a time from the tips file, and a painted thank-you line.
class TipsPage final : public Page {
    Q_OBJECT
public:
    explicit TipsPage(const AppContext& context, QWidget* parent = nullptr);

    [[nodiscard]] QString tipText() const;
    [[nodiscard]] QPushButton* nextButton() const { return next_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onNextTip();

    TipCycle tips_;
    QLabel* tip_;
    QPushButton* next_;
    QFont thanksFont_;
};

}  // namespace tunex
