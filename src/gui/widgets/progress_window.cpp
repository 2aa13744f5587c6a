#include "gui/widgets/progress_window.h"

#include "platform/qt/screen_fit.h"

#include "gui/widgets/window_position.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tunex {

namespace {

constexpr int kInitialWidth = 390;
constexpr int kMargin = 10;

// The owner is disabled while a walk runs, which would disable this child window too; it keeps
// itself usable so that Stop still works.
class ProgressPanel final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::EnabledChange && !isEnabled()) {
            setEnabled(true);
        }
    }
};

QString withPercent(const QString& message, int percent) {
    return QStringLiteral("%1 [%2% complete]").arg(message).arg(percent);
}

}  // namespace

int progressPercent(int lower, int upper, int position) {
    if (lower >= upper) {
        return 0;
    }
    // In floating point: the 32-bit product would overflow for large ranges.
    const double ratio =
        (static_cast<double>(position) - lower) * 100.0 / (static_cast<double>(upper) - lower);
    return static_cast<int>(std::lround(ratio));
}

ProgressWindow::ProgressWindow(Platform& platform, QWidget* owner,
                               const ProgressWindowOptions& options)
    : platform_(platform),
      owner_(owner != nullptr ? owner->window() : nullptr),
      modal_(options.modal),
      savePosition_(options.savePosition) {
    auto* window = new ProgressPanel(owner_, Qt::Tool | Qt::WindowStaysOnTopHint |
                                                 Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window_ = window;
    window->setWindowTitle(options.title);
    window->setCursor(Qt::BusyCursor);
    window->setBackgroundRole(QPalette::Button);
    window->setAutoFillBackground(true);
    const QFont font = QApplication::font("QMessageBox");
    window->setFont(font);

    messageArea_ = new QLabel(window);
    messageArea_->setTextFormat(Qt::PlainText);
    messageArea_->setWordWrap(false);
    messageArea_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    messageArea_->setAutoFillBackground(true);
    messageArea_->setBackgroundRole(QPalette::ToolTipBase);
    messageArea_->setForegroundRole(QPalette::ToolTipText);
    messageArea_->setFixedHeight(QFontMetrics(font).lineSpacing() * std::max(1, options.lines) + 4);
    messageArea_->setMinimumWidth(kInitialWidth - 2 * kMargin);
    messageArea_->setObjectName(QStringLiteral("progressMessage"));

    bar_ = new QProgressBar(window);
    bar_->setTextVisible(false);
    bar_->setRange(lower_, upper_);
    bar_->setValue(0);
    // Segmented or continuous is the style's to draw; the property is a hint some styles honour.
    bar_->setProperty("smooth", options.smoothBar);

    stop_ = new QPushButton(QStringLiteral("    Stop    "), window);
    stop_->setAutoDefault(false);
    connect(stop_, &QPushButton::clicked, this, &ProgressWindow::onStop);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(stop_);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);
    layout->addWidget(messageArea_);
    layout->addWidget(bar_);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    window->adjustSize();
    window->resize(std::max(kInitialWidth, window->width()), window->height());
    keepWithinScreen(*window);
    if (savePosition_) {
        restoreWindowPosition(*window, platform_);
    } else if (owner_ != nullptr) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(owner_->frameGeometry().center());
        window->move(frame.topLeft());
    }
    if (modal_ && owner_ != nullptr) {
        owner_->setEnabled(false);
    }
    window->show();
}

ProgressWindow::~ProgressWindow() {
    destroy();
}

void ProgressWindow::setRange(int lower, int upper, int step) {
    lower_ = lower;
    upper_ = upper;
    step_ = step;
    if (bar_ != nullptr && window_ != nullptr) {
        // An empty range would make the bar a busy indicator; show it empty instead.
        bar_->setRange(lower, std::max(upper, lower + 1));
    }
}

void ProgressWindow::setMessage(const QString& text) {
    if (message_.isEmpty()) {
        message_ = text;
    }
    if (window_ != nullptr) {
        messageArea_->setText(text);
    }
}

int ProgressWindow::setPosition(int position) {
    if (window_ == nullptr) {
        return position_;
    }
    if (window_->isHidden()) {
        window_->show();
    }
    position_ = position;
    const int newPercent = progressPercent(lower_, upper_, position);
    if (newPercent != percent_) {
        percent_ = newPercent;
        messageArea_->setText(withPercent(message_, percent_));
    }
    bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
    return position_;
}

void ProgressWindow::pumpMessages(bool cancelOnEscape) {
    if (window_ == nullptr || cancelled_ || pumping_) {
        return;
    }
    guardInput(cancelOnEscape);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    releaseInput();
}

void ProgressWindow::guardInput(bool cancelOnEscape) {
    if (pumping_) {
        return;
    }
    pumping_ = true;
    cancelOnEscape_ = cancelOnEscape;
    // A quit request goes through untouched; the main loop ends once the walk returns to it.
    qApp->installEventFilter(this);
}

void ProgressWindow::releaseInput() {
    if (pumping_) {
        qApp->removeEventFilter(this);
        pumping_ = false;
    }
}

bool ProgressWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Escape) {
                break;
            }
            if (event->type() == QEvent::KeyPress && cancelOnEscape_ && !cancelled_) {
                cancel();
            }
            return true;
        }
        case QEvent::Close: {
            // Closing any window now would pull the ground from under the walk.
            const auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->isWindow()) {
                event->ignore();
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void ProgressWindow::enableStop(bool enabled) {
    if (window_ != nullptr) {
        stop_->setEnabled(enabled);
    }
}

void ProgressWindow::show() {
    if (window_ != nullptr) {
        window_->show();
    }
}

void ProgressWindow::hide() {
    if (window_ != nullptr) {
        window_->hide();
    }
}

void ProgressWindow::cancel() {
    cancelled_ = true;
    hide();
    if (modal_) {
        closeWindow();
    }
    if (owner_ != nullptr) {
        owner_->raise();
        owner_->activateWindow();
    }
}

void ProgressWindow::destroy() {
    if (window_ == nullptr) {
        return;
    }
    if (savePosition_) {
        saveWindowPosition(*window_, platform_);
    }
    closeWindow();
}

void ProgressWindow::closeWindow() {
    if (window_ == nullptr) {
        return;
    }
    if (modal_ && owner_ != nullptr) {
        owner_->setEnabled(true);
    }
    QWidget* window = window_;
    window_ = nullptr;
    messageArea_ = nullptr;
    bar_ = nullptr;
    stop_ = nullptr;
    window->hide();
    // Stop may have been pressed inside this window's own event handling.
    window->deleteLater();
}

QString ProgressWindow::messageText() const {
    return messageArea_ != nullptr ? messageArea_->text() : QString();
}

}  // namespace tunex
