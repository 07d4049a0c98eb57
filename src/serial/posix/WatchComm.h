// WatchComm: ThreadWatchComm, the thread that moves received bytes into a port's queue.
//
// CSerialLink owns one CWatchComm and is its only user. Start and Stop run on the thread
// that opens and closes the port; the watcher itself runs on its own std::thread. It
// sleeps in poll() on the port and on its own eventfd, with no timeout. On each wake-up it
// reads the port in chunks of up to 2048 bytes, stores each chunk whole into the link's
// receive queue or drops it whole ("m_QueueRead FULL!"), and then calls OnRxNotify once,
// all through IWatchedPort. A device that hangs up or fails ends it, with one OnLinkLost.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "UniqueFd.h"

namespace keltrove {

class ILinkEvents;
class IWatchedPort;

// Why a port's poll flags mean its device is gone ("/dev/ttyUSB0: the device hung up");
// empty while they do not.
std::string HangUpReason(const std::string& device, short revents);

class CWatchComm {
public:
    static constexpr std::uint32_t kChunkSize = 2048;

    CWatchComm() = default;
    CWatchComm(const CWatchComm&) = delete;
    CWatchComm& operator=(const CWatchComm&) = delete;
    ~CWatchComm() { Stop(); }

    // Starts watching `port`, whose descriptor `fd` is open and set up, and whose run flag
    // is set.
    // Returns "", or what failed and why ("cannot make its wake-up descriptor: Too many
    // open files ..."), in which case nothing is left running or open. At most one watcher:
    // Stop the last one first.
    std::string Start(IWatchedPort& port, int fd, ILinkEvents* events);

    // Wakes the watcher and returns after it has ended. The caller clears the run flag
    // first. Does nothing when no watcher was started.
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
    void ThreadWatchComm(IWatchedPort& port, int fd, ILinkEvents* events, int wakeFd);
    // One wake-up's reading. False when the device is gone, with `lost` saying why.
    bool DrainPort(IWatchedPort& port, ILinkEvents* events, std::string& lost);

    UniqueFd m_WakeFd;  // written by Stop; the watcher polls it
    std::thread m_Thread;
    std::atomic<bool> m_bRunning{false};
    std::string m_strLost;  // written by the watcher before it clears m_bRunning
};

}  // namespace keltrove
