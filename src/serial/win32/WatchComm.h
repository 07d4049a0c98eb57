// WatchComm: ThreadWatchComm, the thread that moves received bytes into a port's queue.
//
// CSerialLink owns one CWatchComm and is its only user. Start and Stop run on the thread
// that opens and closes the port; the watcher itself runs on its own std::thread. It
// sleeps in an overlapped WaitCommEvent(EV_RXCHAR) and on its own stop event, with no
// timeout. On each wake-up it asks ClearCommError how many bytes wait, reads them in
// chunks of up to 2048 bytes, stores each chunk whole into the link's receive queue or
// drops it whole ("m_QueueRead FULL!"), and then calls OnRxNotify once, all through
// IWatchedPort.
//
// A wait can also end without an event: Wine ends it with ERROR_OPERATION_ABORTED every
// few milliseconds on some ports, and a hang-up shows then only as ClearCommError failing.
// So every wake-up is checked the same way, and one that brought nothing notifies nothing.
// A device that hangs up or fails ends the watcher, with one OnLinkLost.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "PortHandle.h"

namespace keltrove {

class ILinkEvents;
class IWatchedPort;

class CWatchComm {
public:
    static constexpr std::uint32_t kChunkSize = 2048;

    CWatchComm() = default;
    CWatchComm(const CWatchComm&) = delete;
    CWatchComm& operator=(const CWatchComm&) = delete;
    ~CWatchComm() { Stop(); }

    // Starts watching `port`, whose `handle` is open and set up, with EV_RXCHAR in its event
    // mask, and whose run flag is set. Returns "", or what failed and why, in which case
    // nothing is left running or open. At most one watcher: Stop the last one first.
    std::string Start(IWatchedPort& port, HANDLE handle, ILinkEvents* events);

    // Ends the pending wait (the stop event, then an empty event mask) and returns after
    // the watcher has ended. The caller clears the link's run flag first. Does nothing
    // when no watcher was started.
    void Stop();

    // True from Start until the watcher stops watching: after Stop, or once it has found the
    // device gone (just before OnLinkLost).
    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }
    // Why it found the device gone; empty while it runs, and after a Stop.
    const std::string& LostReason() const {
        static const std::string kNone;
        return IsRunning() ? kNone : m_strLost;
    }

private:
    void ThreadWatchComm(IWatchedPort& port, ILinkEvents* events);
    // Waits for the next wake-up. False when the watcher must end: stopped, or the wait
    // failed (then `lost` says why). `event` tells a real EV_RXCHAR from a false wake-up.
    bool WaitForEvent(IWatchedPort& port, HANDLE done, bool& event, std::string& lost);
    // One wake-up's reading. False when the device is gone, with `lost` saying why.
    bool DrainPort(IWatchedPort& port, ILinkEvents* events, bool event, std::string& lost);

    UniqueHandle m_StopEvent;  // set by Stop; the watcher waits on it
    HANDLE m_hPort = nullptr;  // the link's port, which outlives the watcher
    std::thread m_Thread;
    std::atomic<bool> m_bRunning{false};
    std::string m_strLost;  // written by the watcher before it clears m_bRunning
};

}  // namespace keltrove
