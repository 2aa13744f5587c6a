#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace tunex {

class Platform;

struct ProgressWindowOptions {
    QString title = QStringLiteral("Progress");
    bool smoothBar = false;
    // The window disables its owner itself, and Stop closes it for good.
    bool modal = false;
    bool savePosition = true;
    int lines = 3;  // height of the message area in lines of text
};

// A small always-on-top window with a message, a percentage, a bar and "Stop". A walk on the
// user-interface thread steps it after each unit of work and calls pumpMessages() so that it
// repaints and Stop or Escape can reach it; work on another thread is followed from an event loop
// between guardInput() and releaseInput(). Every operation is harmless after the window is gone.
class ProgressWindow final : public QObject {
    Q_OBJECT
public:
    ProgressWindow(Platform& platform, QWidget* owner, const ProgressWindowOptions& options = {});
    ~ProgressWindow() override;
    Q_DISABLE_COPY_MOVE(ProgressWindow)

    void setRange(int lower, int upper, int step = 1);
    void setMessage(const QString& text);
    // Both show the window again when it was hidden; the result is the stored position.
    int setPosition(int position);
    int stepIt() { return setPosition(position_ + step_); }
    // Delivers pending input. Escape (cancelling when asked) and close requests never reach the
    // windows below.
    void pumpMessages(bool cancelOnEscape);
    // The same for as long as the caller runs an event loop of its own, while the work goes on
    // in another thread: from guardInput to releaseInput.
    void guardInput(bool cancelOnEscape);
    void releaseInput();
    [[nodiscard]] int step() const { return step_; }
    [[nodiscard]] bool isCancelled() const { return cancelled_; }
    void enableStop(bool enabled);
    void show();
    void hide();
    // Remembers the place on the screen and closes the window.
    void destroy();

    [[nodiscard]] int percent() const { return percent_; }
    [[nodiscard]] int position() const { return position_; }
    [[nodiscard]] QString messageText() const;
    [[nodiscard]] QWidget* window() const { return window_; }
    [[nodiscard]] QPushButton* stopButton() const { return stop_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onStop() { cancel(); }
    void cancel();
    void closeWindow();

    Platform& platform_;
    QPointer<QWidget> owner_;
    QPointer<QWidget> window_;
    QLabel* messageArea_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* stop_ = nullptr;
    QString message_;
    int lower_ = 0;
    int upper_ = 100;
    int step_ = 1;
    int position_ = 0;
    int percent_ = 0;
    bool cancelled_ = false;
    bool pumping_ = false;
    bool cancelOnEscape_ = false;
    bool modal_ = false;
    bool savePosition_ = true;
};

// The percentage shown for a position: rounded half up, 0 for an empty range.
[[nodiscard]] int progressPercent(int lower, int upper, int position);

}  // namespace tunex
