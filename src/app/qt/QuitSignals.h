// QuitSignals: SIGINT, SIGTERM and SIGHUP end the window the way its close box does.
//
// Killed by a signal's default action, the program would leave its port's lock file behind
// and the port's settings changed. The signals come as the shared stop-signal descriptor
// (StopSignals.h), which the program takes before any thread starts; here the GUI thread
// watches it and closes the window, which closes the port. GUI thread only.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace keltrove {

class CStopSignals;

class CQuitSignals final : public QObject {
public:
    // `quit` runs on the GUI thread when one of `stops` has come.
    CQuitSignals(CStopSignals& stops, std::function<void()> quit);
    ~CQuitSignals() override;

private:
    CStopSignals& m_Signals;
    std::function<void()> m_Quit;
    QSocketNotifier* m_pNotifier = nullptr;  // a child
};

}  // namespace keltrove
