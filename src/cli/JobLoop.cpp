#include "JobLoop.h"

#include <algorithm>
#include <utility>

#include "ProtocolSession.h"
#include "StopRequest.h"

namespace keltrove::cli {

CJobLoop::CJobLoop(CStopRequest& stop) : m_Stop(stop) {
    // Only once every member exists: from here on a stop request may wake us, on its thread.
    m_StopHandle = stop.OnRequest([this] { Wake(); });
}

CJobLoop::~CJobLoop() {
    // First, while the mutex that Wake takes still exists: a stop request may be waking us.
    m_StopHandle.reset();
}

CJobLoop::End CJobLoop::Run(CProtocolSession& session, const std::function<bool()>& done,
                            std::optional<Clock::time_point> until) {
    for (;;) {
        if (done()) return End::Done;
        if (until && Clock::now() >= *until) return End::TimedOut;
        bool notified = false;
        bool lost = false;
        {
            std::unique_lock lock(m_Mutex);
            std::optional<Clock::time_point> wake = NextTick();
            if (until && (!wake || *until < *wake)) wake = until;
            const auto ready = [&] {
                return m_bNotified || m_bWoken || !m_strLost.empty() ||
                       (wake && Clock::now() >= *wake);
            };
            if (wake) {
                m_Changed.wait_until(lock, *wake, ready);
            } else {
                m_Changed.wait(lock, ready);
            }
            notified = std::exchange(m_bNotified, false);
            lost = !m_strLost.empty();
        }
        if (m_Stop.Requested()) return End::Stopped;
        if (notified) session.OnRxNotify();
        // One tick each, however late: the countdowns count ticks handled, as in the window.
        const Clock::time_point now = Clock::now();
        if (m_NextReply && now >= *m_NextReply) {
            m_NextReply = std::max(*m_NextReply + kReplyTickPeriod, now);
            session.OnReplyTick();
        }
        if (m_NextGap && now >= *m_NextGap) {
            m_NextGap = std::max(*m_NextGap + kGapTickPeriod, now);
            session.OnGapTick();
        }
        // The watcher notifies before it reports the loss, so what came first is handled.
        if (lost && !notified) return done() ? End::Done : End::Lost;
    }
}

std::optional<CJobLoop::Clock::time_point> CJobLoop::NextTick() const {
    if (m_NextReply && m_NextGap) return std::min(*m_NextReply, *m_NextGap);
    return m_NextReply ? m_NextReply : m_NextGap;
}

std::string CJobLoop::LostReason() const {
    std::lock_guard lock(m_Mutex);
    return m_strLost;
}

std::uint64_t CJobLoop::Dropped() const {
    std::lock_guard lock(m_Mutex);
    return m_nDropped;
}

void CJobLoop::OnRxNotify(std::uint16_t /*portTag*/) {
    {
        std::lock_guard lock(m_Mutex);
        m_bNotified = true;
    }
    m_Changed.notify_one();
}

void CJobLoop::OnQueueFull(std::uint16_t /*portTag*/, std::uint32_t droppedBytes) {
    std::lock_guard lock(m_Mutex);
    m_nDropped += droppedBytes;
}

void CJobLoop::OnLinkLost(std::uint16_t /*portTag*/, std::string reason) {
    {
        std::lock_guard lock(m_Mutex);
        m_strLost = reason.empty() ? "the device went away" : std::move(reason);
    }
    m_Changed.notify_one();
}

void CJobLoop::Wake() {
    {
        std::lock_guard lock(m_Mutex);
        m_bWoken = true;
    }
    m_Changed.notify_one();
}

void CJobLoop::SetTicking(TickTimer timer, bool on) {
    std::optional<Clock::time_point>& next = timer == TickTimer::Reply ? m_NextReply : m_NextGap;
    if (!on) {
        next.reset();
    } else if (!next) {
        next = Clock::now() + (timer == TickTimer::Reply ? kReplyTickPeriod : kGapTickPeriod);
    }
}

void CJobLoop::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait_for(lock, duration, [&] { return m_bWoken; });
}

}  // namespace keltrove::cli
