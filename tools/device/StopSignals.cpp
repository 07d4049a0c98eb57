#include "StopSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cstring>

#include "OsError.h"

namespace keltrove::device {

CStopSignals::CStopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    if (const int error = pthread_sigmask(SIG_BLOCK, &stops, &m_OldMask); error != 0) {
        throw CSystemError("pthread_sigmask", "", error);
    }
    m_Signals.Reset(signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!m_Signals.IsValid()) {
        const int error = errno;
        pthread_sigmask(SIG_SETMASK, &m_OldMask, nullptr);
        throw CSystemError("signalfd", "", error);
    }
}

CStopSignals::~CStopSignals() {
    m_Signals.Reset();
    pthread_sigmask(SIG_SETMASK, &m_OldMask, nullptr);
}

std::string CStopSignals::Take() {
    signalfd_siginfo info{};
    const ssize_t got = RetryOnEintr([&] { return ::read(m_Signals.Get(), &info, sizeof info); });
    if (got != static_cast<ssize_t>(sizeof info)) return {};
    const char* name = sigabbrev_np(static_cast<int>(info.ssi_signo));
    return std::string("SIG") + (name != nullptr ? name : "?");
}

}  // namespace keltrove::device
