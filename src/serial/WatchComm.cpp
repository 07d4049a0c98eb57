// The watcher's life, the same on every platform: start, stop, the loss it reports, and
// the draining of one wake-up.
#include "WatchComm.h"

#include <array>
#include <system_error>

#include "LinkEvents.h"
#include "WatchedPort.h"

namespace keltrove {

CWatchComm::CWatchComm() = default;

CWatchComm::~CWatchComm() {
    Stop();
}

std::string CWatchComm::Start(IWatchedPort& port, NativePort handle, ILinkEvents* events) {
    std::string failed;
    WakeupPtr wakeup = MakeWakeup(handle, failed);
    if (!wakeup) return failed;
    m_pWakeup = std::move(wakeup);
    m_hPort = handle;
    m_strLost.clear();
    m_bRunning.store(true, std::memory_order_release);
    try {
        m_Thread = std::thread(&CWatchComm::ThreadWatchComm, this, std::ref(port), events);
    } catch (const std::system_error& error) {
        m_bRunning.store(false, std::memory_order_release);
        m_pWakeup.reset();
        return "cannot start its thread: " + std::string(error.what());
    }
    return {};
}

void CWatchComm::Stop() {
    if (!m_Thread.joinable()) return;
    Wake(*m_pWakeup);
    m_Thread.join();
    m_pWakeup.reset();  // only now: never close what another thread waits on
}

const std::string& CWatchComm::LostReason() const {
    static const std::string kNone;
    return IsRunning() ? kNone : m_strLost;
}

void CWatchComm::ThreadWatchComm(IWatchedPort& port, ILinkEvents* events) {
    std::string lost = Watch(port, events);
    m_strLost = lost;
    m_bRunning.store(false, std::memory_order_release);
    // A loss found while Close is stopping the watcher goes unreported: the port is going.
    if (!lost.empty() && events != nullptr && port.IsLinkUp()) {
        events->OnLinkLost(port.PortTag(), std::move(lost));
    }
}

bool CWatchComm::DrainPort(IWatchedPort& port, ILinkEvents* events, bool notify,
                           std::string& lost) {
    std::array<std::uint8_t, kChunkSize> chunk;
    for (;;) {
        // Close is waiting to join: stop here, without notifying; Close discards the rest.
        if (!port.IsLinkUp()) return true;
        const std::uint32_t length = port.ReadPort(chunk.data(), kChunkSize, &lost);
        if (length == 0) break;
        port.StoreReceived(chunk.data(), length, events);
        notify = true;
    }
    if (events != nullptr && notify) events->OnRxNotify(port.PortTag());
    return lost.empty();
}

}  // namespace keltrove
