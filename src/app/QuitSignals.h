// QuitSignals: SIGINT, SIGTERM and SIGHUP end the window the way its close box does.
//
// Killed by a signal's default action, the program would leave its port's lock file behind
// and the port's settings changed. Here the signal handler only writes a byte to a pipe;
// the GUI thread reads it and closes the window, which closes the port. GUI thread only;
// one per application. Where the signals cannot be caught, they keep their default action.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace keltrove {

class CQuitSignals final : public QObject {
public:
    // `quit` runs on the GUI thread when a signal has come.
    explicit CQuitSignals(std::function<void()> quit);
    ~CQuitSignals() override;

private:
    std::function<void()> m_Quit;
    QSocketNotifier* m_pNotifier = nullptr;
};

}  // namespace keltrove
