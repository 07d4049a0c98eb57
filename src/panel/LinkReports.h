// LinkReports: CLinkReports carries the port watcher's reports from its thread to the
// window's.
//
// The watcher calls ILinkEvents on its own thread; each call at most hands a report to the
// post hook and returns, never waiting for the window's thread (Close waits for the
// watcher, so a watcher that waited for the window would deadlock against it). The hook
// queues the report to the window's thread (an event posted to the window), where the
// window hands it to the presenter, which takes it through Receive.
//
// However fast a device floods or an adapter comes and goes, little piles up in the
// window's queue: at most one notification and one port change are pending (one drain takes every
// waiting byte), and at most one "m_QueueRead FULL!" report is pending or being shown; the bytes
// dropped meanwhile are added up and reported with the next one, posted as soon as the last one has
// been shown. PortClosed, called once the watcher has been joined, makes every report of the old
// watcher stale: Deliver drops it. The window's thread only, except the three ILinkEvents calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "LinkEvents.h"

namespace keltrove {

struct LinkReport {
    enum class Kind { Notify, QueueFull, Lost, PortChanged };
    Kind kind = Kind::Notify;
    std::uint16_t portTag = 0;
    unsigned generation = 0;    // PortClosed calls made before it was posted
    std::string reason;         // Lost: why the device is gone
    std::uint64_t dropped = 0;  // QueueFull, once received: bytes dropped since the last one
};

class CLinkReports final : public ILinkEvents {
public:
    // Called on the watcher's thread; must queue the report and return at once.
    using PostHook = std::function<void(LinkReport)>;

    explicit CLinkReports(PostHook post);

    // The port was closed and its watcher has ended: what it reported is stale.
    void PortClosed();
    // A posted report has reached the window's thread: the report to act on, or nothing when
    // it is stale. A notification may be posted again from now on.
    std::optional<LinkReport> Receive(const LinkReport& report);
    // The queue-full report that Receive gave has been shown: the next may be posted, at
    // once when bytes were dropped meanwhile.
    void QueueFullShown(std::uint16_t portTag);

    void OnRxNotify(std::uint16_t portTag) override;
    void OnQueueFull(std::uint16_t portTag, std::uint32_t droppedBytes) override;
    void OnLinkLost(std::uint16_t portTag, std::string reason) override;
    // The port watch (CPortWatch, on its own thread) saw that the awaited port may be back;
    // at most one such report waits at a time.
    void OnPortChanged(std::uint16_t portTag);

private:
    const PostHook m_Post;
    std::atomic<unsigned> m_nGeneration{0};
    std::atomic<bool> m_bNotifyPending{false};
    std::atomic<bool> m_bFullPending{false};
    std::atomic<bool> m_bChangePending{false};
    bool m_bFullShowing = false;  // window's thread: a queue-full report is being shown
    std::atomic<std::uint64_t> m_nDropped{0};
};

}  // namespace keltrove
