#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tunex {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a kill, Ctrl+C in a terminal) into a normal close of
// the main window, so that the settings and the history are written as on Exit. The signals must
// be blocked in every thread first: call `blockTerminationSignals()` at the start of main.
class TerminationWatch final : public QObject {
    Q_OBJECT
public:
    TerminationWatch(std::function<void()> onTerminate, QObject* parent = nullptr);
    ~TerminationWatch() override;
    Q_DISABLE_COPY_MOVE(TerminationWatch)

    static void blockTerminationSignals();

private:
    void onSignal();

    std::function<void()> onTerminate_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tunex
