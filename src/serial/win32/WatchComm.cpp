// The watcher on Windows: it sleeps in an overlapped WaitCommEvent(EV_RXCHAR), or for a
// network port on the event its socket sets, and on a stop event that Stop sets.
//
// A wait can also end without an event: Wine ends it with ERROR_OPERATION_ABORTED every
// few milliseconds on some ports, and a hang-up shows then only as ClearCommError failing.
// So every wake-up is checked the same way, and one that brought nothing notifies nothing.
#include "WatchComm.h"

#include <array>

#include "SystemError.h"
#include "UniqueHandle.h"
#include "WatchedPort.h"

namespace keltrove {

class CWatchComm::CWakeup {
public:
    CWakeup(UniqueHandle stop, HANDLE port) : m_Stop(std::move(stop)), m_hPort(port) {}
    UniqueHandle m_Stop;
    HANDLE m_hPort;  // a COM port's; none for a network port
};

void CWatchComm::WakeupDeleter::operator()(CWakeup* wakeup) const {
    delete wakeup;
}

CWatchComm::WakeupPtr CWatchComm::MakeWakeup(NativePort port, std::string& failed) {
    UniqueHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop.IsValid()) {
        failed = "cannot make its stop event: " + SystemMessage(::GetLastError());
        return nullptr;
    }
    return WakeupPtr(new CWakeup(std::move(stop), port.comm));
}

void CWatchComm::Wake(CWakeup& wakeup) {
    ::SetEvent(wakeup.m_Stop.Get());
    // An empty mask ends a pending WaitCommEvent too, for a watcher between two waits.
    if (wakeup.m_hPort != nullptr) ::SetCommMask(wakeup.m_hPort, 0);
}

namespace {

// Waits for the next wake-up. False when the watcher must end: stopped, or the wait failed
// (then `lost` says why). `event` tells a real EV_RXCHAR from a false wake-up.
bool WaitForEvent(IWatchedPort& port, HANDLE hPort, HANDLE stop, HANDLE done, bool& event,
                  std::string& lost) {
    OVERLAPPED pending{};
    pending.hEvent = done;
    ::ResetEvent(done);
    DWORD mask = 0;
    BOOL ok = ::WaitCommEvent(hPort, &mask, &pending);
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
        const std::array<HANDLE, 2> waits{done, stop};
        const DWORD woken = ::WaitForMultipleObjects(2, waits.data(), FALSE, INFINITE);
        DWORD unused = 0;
        if (woken == WAIT_OBJECT_0) {
            ok = ::GetOverlappedResult(hPort, &pending, &unused, FALSE);
            error = ok ? ERROR_SUCCESS : ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE) {
                // The event came but the wait goes on (Wine can set it late, for the wait
                // before, and then leave this one unserved): end the wait as a change of
                // mask does, and take it as a false wake-up.
                ::SetCommMask(hPort, EV_RXCHAR);
                ::GetOverlappedResult(hPort, &pending, &unused, TRUE);
                ok = FALSE;
                error = ERROR_OPERATION_ABORTED;
            }
        }
        if (woken != WAIT_OBJECT_0) {
            // Stopped (or the wait itself failed): the system must be done with `pending`
            // before it goes out of scope.
            ::CancelIoEx(hPort, &pending);
            ::GetOverlappedResult(hPort, &pending, &unused, TRUE);
            if (woken != WAIT_OBJECT_0 + 1) {
                lost = DescribeSystemError(port.PortName(), ::GetLastError(), "waiting");
            }
            return false;
        }
    }
    if (!port.IsLinkUp()) return false;
    // ERROR_OPERATION_ABORTED without our stop is a false wake-up: check the port, wait again.
    if (!ok && error != ERROR_OPERATION_ABORTED) {
        lost = DescribeSystemError(port.PortName(), error, "waiting for bytes");
        return false;
    }
    event = ok && (mask & EV_RXCHAR) != 0;
    return true;
}

}  // namespace

std::string CWatchComm::Watch(IWatchedPort& port, ILinkEvents* events) {
    std::string lost;
    if (m_hPort.socketEvent != nullptr) {
        // A network port: every wake-up is real. The event is reset before the socket is
        // read, so that whatever arrives after sets it again.
        const std::array<HANDLE, 2> waits{m_hPort.socketEvent, m_pWakeup->m_Stop.Get()};
        while (port.IsLinkUp()) {
            const DWORD woken = ::WaitForMultipleObjects(2, waits.data(), FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0 + 1) continue;  // stopped: the loop test ends it
            if (woken != WAIT_OBJECT_0) {
                return DescribeSystemError(port.PortName(), ::GetLastError(), "waiting");
            }
            ::ResetEvent(m_hPort.socketEvent);
            if (!DrainPort(port, events, true, lost)) return lost;
        }
        return {};
    }
    UniqueHandle done(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done.IsValid()) {
        return DescribeSystemError(port.PortName(), ::GetLastError(), "cannot make an event");
    }
    bool event = false;
    while (port.IsLinkUp() &&
           WaitForEvent(port, m_hPort.comm, m_pWakeup->m_Stop.Get(), done.Get(), event, lost) &&
           DrainPort(port, events, event, lost)) {
    }
    return lost;
}

}  // namespace keltrove
