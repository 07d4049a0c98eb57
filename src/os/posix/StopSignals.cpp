#include "StopSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SystemError.h"

namespace keltrove {

CStopSignals::CStopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    if (const int error = pthread_sigmask(SIG_BLOCK, &stops, &m_OldMask); error != 0) {
        m_strError = DescribeSystemError("stop signals", error, "pthread_sigmask");
        return;
    }
    m_Signals.Reset(::signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!m_Signals.IsValid()) {
        m_strError = DescribeSystemError("stop signals", errno, "signalfd");
        pthread_sigmask(SIG_SETMASK, &m_OldMask, nullptr);  // the default action, at least
    }
}

CStopSignals::~CStopSignals() {
    if (!m_Signals.IsValid()) return;
    m_Signals.Reset();
    pthread_sigmask(SIG_SETMASK, &m_OldMask, nullptr);
}

int CStopSignals::Take() {
    signalfd_siginfo info{};
    const ssize_t got = RetryOnEintr([&] { return ::read(m_Signals.Get(), &info, sizeof info); });
    return got == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

std::string CStopSignals::Name(int signal) {
    const char* name = sigabbrev_np(signal);
    return std::string("SIG") + (name != nullptr ? name : "?");
}

}  // namespace keltrove
