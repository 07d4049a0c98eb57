// JobLoop: the event loop of one port's job: what the window's event loop does for the
// window, for a session on a thread of its own.
//
// The port's watcher reports through ILinkEvents on its thread; the loop wakes on those,
// on the session's ticks (each running only while the session asks for it, at its period)
// and on a stop request, and hands each to the session on the job's thread. The write's
// pauses wait here too, and end early only on a stop. Nothing polls: with no tick running
// and nothing reported, the loop sleeps until woken.
//
// Run, SetTicking and Pause belong to the job's thread; the ILinkEvents calls and Wake may
// come from any thread. No failures.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "Interfaces.h"
#include "LinkEvents.h"

namespace keltrove {
class CProtocolSession;
}

namespace keltrove::cli {

class CStopRequest;

class CJobLoop final : public ILinkEvents, public ITickTimers, public IPause {
public:
    enum class End { Done, Lost, Stopped, TimedOut };

    explicit CJobLoop(CStopRequest& stop);
    ~CJobLoop() override;

    using Clock = std::chrono::steady_clock;

    // Hands events to `session` until `done` holds, the line is lost, a stop is asked, or
    // `until` (when given) has come.
    End Run(CProtocolSession& session, const std::function<bool()>& done,
            std::optional<Clock::time_point> until = std::nullopt);

    // Why the line was lost; empty while it is not.
    std::string LostReason() const;
    // Bytes the watcher dropped for want of room in the queue.
    std::uint64_t Dropped() const;

    // ILinkEvents, on the watcher's thread.
    void OnRxNotify(std::uint16_t portTag) override;
    void OnQueueFull(std::uint16_t portTag, std::uint32_t droppedBytes) override;
    void OnLinkLost(std::uint16_t portTag, std::string reason) override;

    // ITickTimers and IPause, on the job's thread.
    void SetTicking(TickTimer timer, bool on) override;
    void Pause(std::chrono::milliseconds duration) override;

private:
    void Wake();
    std::optional<Clock::time_point> NextTick() const;

    CStopRequest& m_Stop;
    std::shared_ptr<void> m_StopHandle;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_bNotified = false;  // guarded: the watcher has stored bytes
    bool m_bWoken = false;     // guarded: a stop was asked
    std::string m_strLost;     // guarded
    std::uint64_t m_nDropped = 0;  // guarded

    // The job's thread only.
    std::optional<Clock::time_point> m_NextReply;
    std::optional<Clock::time_point> m_NextGap;
};

}  // namespace keltrove::cli
