#include "gui/search/search_as_you_type.h"

#include "gui/app/app_context.h"

#include <QLineEdit>
#include <QTimer>

namespace tunex {

SearchAsYouType::SearchAsYouType(AppContext& context,
                                 std::initializer_list<const QLineEdit*> fields,
                                 std::function<void()> begin, QObject* parent)
    : QObject(parent),
      context_(context),
      begin_(std::move(begin)),
      pause_(new QTimer(this)),
      runner_(new NewestWorkRunner(this)) {
    pause_->setSingleShot(true);
    pause_->setInterval(kPause);
    connect(pause_, &QTimer::timeout, this, &SearchAsYouType::pauseEnded);
    connect(&context_, &AppContext::catalogueChangeStarting, this, &SearchAsYouType::holdForChange);
    connect(&context_, &AppContext::catalogueChangeEnded, this,
            &SearchAsYouType::resumeAfterChange);
    for (const QLineEdit* field : fields) {
        connect(field, &QLineEdit::textChanged, this, &SearchAsYouType::edited);
    }
}

void SearchAsYouType::cancel() {
    pause_->stop();
    runner_->cancel();
    heldBack_ = false;
}

bool SearchAsYouType::isPending() const {
    return pause_->isActive() || runner_->isRunning() || heldBack_;
}

void SearchAsYouType::edited() {
    // The older terms' rows would only be replaced a moment later, or stand for terms no longer
    // typed.
    runner_->cancel();
    if (context_.searchAsYouType()) {
        pause_->start();
    } else {
        pause_->stop();
    }
}

void SearchAsYouType::pauseEnded() {
    if (!context_.searchAsYouType()) {
        return;
    }
    if (context_.catalogueChanging()) {
        heldBack_ = true;
        return;
    }
    begin_();
}

void SearchAsYouType::holdForChange() {
    heldBack_ = heldBack_ || pause_->isActive() || runner_->isRunning();
    pause_->stop();
    // The search thread reads the catalogue that is about to change.
    runner_->stopAndWait();
}

void SearchAsYouType::resumeAfterChange() {
    if (heldBack_) {
        heldBack_ = false;
        pause_->start();
    }
}

}  // namespace tunex
