#include "WatchComm.h"

#include <array>
#include <system_error>

#include "LinkEvents.h"
#include "SystemError.h"
#include "WatchedPort.h"

namespace keltrove {

std::string CWatchComm::Start(IWatchedPort& port, HANDLE handle, ILinkEvents* events) {
    UniqueHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop.IsValid()) return "cannot make its stop event: " + SystemMessage(::GetLastError());
    m_StopEvent = std::move(stop);
    m_hPort = handle;
    m_strLost.clear();
    m_bRunning.store(true, std::memory_order_release);
    try {
        m_Thread = std::thread(&CWatchComm::ThreadWatchComm, this, std::ref(port), events);
    } catch (const std::system_error& error) {
        m_bRunning.store(false, std::memory_order_release);
        m_StopEvent.Reset();
        return "cannot start its thread: " + std::string(error.what());
    }
    return {};
}

void CWatchComm::Stop() {
    if (!m_Thread.joinable()) return;
    ::SetEvent(m_StopEvent.Get());
    // An empty mask ends a pending WaitCommEvent too, for a watcher between two waits.
    ::SetCommMask(m_hPort, 0);
    m_Thread.join();
    m_StopEvent.Reset();  // only now: never close a handle another thread waits on
}

void CWatchComm::ThreadWatchComm(IWatchedPort& port, ILinkEvents* events) {
    std::string lost;
    UniqueHandle done(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done.IsValid()) {
        lost = DescribeSystemError(port.PortName(), ::GetLastError(), "cannot make an event");
    } else {
        bool event = false;
        while (port.IsLinkUp() && WaitForEvent(port, done.Get(), event, lost) &&
               DrainPort(port, events, event, lost)) {
        }
    }
    m_strLost = lost;
    m_bRunning.store(false, std::memory_order_release);
    // A loss found while Close is stopping the watcher goes unreported: the port is going.
    if (!lost.empty() && events != nullptr && port.IsLinkUp()) {
        events->OnLinkLost(port.PortTag(), std::move(lost));
    }
}

bool CWatchComm::WaitForEvent(IWatchedPort& port, HANDLE done, bool& event, std::string& lost) {
    OVERLAPPED pending{};
    pending.hEvent = done;
    ::ResetEvent(done);
    DWORD mask = 0;
    BOOL ok = ::WaitCommEvent(m_hPort, &mask, &pending);
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
        const std::array<HANDLE, 2> waits{done, m_StopEvent.Get()};
        const DWORD woken = ::WaitForMultipleObjects(2, waits.data(), FALSE, INFINITE);
        DWORD unused = 0;
        if (woken == WAIT_OBJECT_0) {
            ok = ::GetOverlappedResult(m_hPort, &pending, &unused, FALSE);
            error = ok ? ERROR_SUCCESS : ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE) {
                // The event came but the wait goes on (Wine can set it late, for the wait
                // before, and then leave this one unserved): end the wait as a change of
                // mask does, and take it as a false wake-up.
                ::SetCommMask(m_hPort, EV_RXCHAR);
                ::GetOverlappedResult(m_hPort, &pending, &unused, TRUE);
                ok = FALSE;
                error = ERROR_OPERATION_ABORTED;
            }
        }
        if (woken != WAIT_OBJECT_0) {
            // Stopped (or the wait itself failed): the system must be done with `pending`
            // before it goes out of scope.
            ::CancelIoEx(m_hPort, &pending);
            ::GetOverlappedResult(m_hPort, &pending, &unused, TRUE);
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

bool CWatchComm::DrainPort(IWatchedPort& port, ILinkEvents* events, bool event, std::string& lost) {
    std::array<std::uint8_t, kChunkSize> chunk;
    bool stored = false;
    for (;;) {
        // Close is waiting to join: stop here, without notifying; Close discards the rest.
        if (!port.IsLinkUp()) return true;
        const std::uint32_t length = port.ReadPort(chunk.data(), kChunkSize, &lost);
        if (length == 0) break;
        port.StoreReceived(chunk.data(), length, events);
        stored = true;
    }
    if (events != nullptr && (event || stored)) events->OnRxNotify(port.PortTag());
    return lost.empty();
}

}  // namespace keltrove
