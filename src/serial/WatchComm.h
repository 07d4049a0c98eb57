// WatchComm: ThreadWatchComm, the thread that moves received bytes into a port's queue.
//
// CSerialLink owns one CWatchComm and is its only user. Start and Stop run on the thread
// that opens and closes the port; the watcher itself runs on its own std::thread and sees
// the link only through IWatchedPort. It sleeps, with no timeout, until the port has bytes
// or Stop wakes it: in poll() on the port (or a network port's socket) and an eventfd on
// POSIX (posix/WatchComm.cpp), in an overlapped WaitCommEvent(EV_RXCHAR), or on the event a
// network port's socket sets, and a stop event on Windows (win32/WatchComm.cpp).
// On each wake-up it reads the port in chunks of up to kChunkSize bytes, stores each chunk
// whole into the link's receive queue or drops it whole ("m_QueueRead FULL!"), and then
// calls OnRxNotify once. A device that hangs up or fails ends it, with one OnLinkLost.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "PortHandle.h"  // NativePort, from the platform folder

namespace keltrove {

class ILinkEvents;
class IWatchedPort;

class CWatchComm {
public:
    static constexpr std::uint32_t kChunkSize = 2048;

    CWatchComm();
    CWatchComm(const CWatchComm&) = delete;
    CWatchComm& operator=(const CWatchComm&) = delete;
    ~CWatchComm();

    // Starts watching `port`, whose `handle` is open and set up and whose run flag is set.
    // Returns "", or what failed and why ("cannot make its wake-up descriptor: Too many open
    // files ..."), in which case nothing is left running or open. At most one watcher: Stop
    // the last one first.
    std::string Start(IWatchedPort& port, NativePort handle, ILinkEvents* events);

    // Wakes the watcher and returns after it has ended. The caller clears the run flag
    // first. Does nothing when no watcher was started.
    void Stop();

    // True from Start until the watcher stops watching: after Stop, or once it has found the
    // device gone (just before OnLinkLost).
    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }
    // Why it found the device gone; empty while it runs, and after a Stop.
    const std::string& LostReason() const;

private:
    // The platform's way to end a wait: an eventfd, or a stop event. Defined with its three
    // functions in the platform's WatchComm.cpp.
    class CWakeup;
    struct WakeupDeleter {
        void operator()(CWakeup* wakeup) const;
    };
    using WakeupPtr = std::unique_ptr<CWakeup, WakeupDeleter>;
    static WakeupPtr MakeWakeup(NativePort port, std::string& failed);
    static void Wake(CWakeup& wakeup);

    void ThreadWatchComm(IWatchedPort& port, ILinkEvents* events);
    // The platform's loop: waits, drains and notifies while the run flag is set. Returns
    // why the device is gone, or nothing when it was stopped.
    std::string Watch(IWatchedPort& port, ILinkEvents* events);
    // One wake-up's reading: false when the device is gone, with `lost` saying why. A
    // wake-up that brought nothing notifies only when `notify`.
    static bool DrainPort(IWatchedPort& port, ILinkEvents* events, bool notify, std::string& lost);

    WakeupPtr m_pWakeup;   // made by Start; Stop uses it, then lets it go
    NativePort m_hPort{};  // the link's port, which outlives the watcher
    std::thread m_Thread;
    std::atomic<bool> m_bRunning{false};
    std::string m_strLost;  // written by the watcher before it clears m_bRunning
};

}  // namespace keltrove
