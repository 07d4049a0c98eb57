// LinkEvents: what the port's watcher tells the window.
//
// Each front end implements ILinkEvents. The watcher calls it on its own thread, so an
// implementation must return quickly and must never wait for the front end's thread: it
// posts the call over (a window as its WM_RX_NOTIFY) and returns. Close waits for the watcher
// to end, so a watcher that waited for the window would deadlock against it.
//
// A watcher that cannot be started calls nothing here: Open fails, and its LastError reads
// "Error while creating ThreadWatchComm, " with the port name and the system's reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace keltrove {

// The text of the box that says received bytes were dropped.
inline constexpr std::string_view kMsgQueueFull = "m_QueueRead FULL!";

class ILinkEvents {
public:
    virtual ~ILinkEvents() = default;

    // Bytes may wait in the receive queue: sent once per wake-up of the watcher, after Read
    // found the port empty, even when nothing was stored; on Windows, a wait that ended
    // without an event and brought nothing is not told. `portTag` is Open's port ID.
    virtual void OnRxNotify(std::uint16_t portTag) = 0;

    // A received chunk of `droppedBytes` bytes was dropped whole for want of room in the
    // queue ("m_QueueRead FULL!"). Sent for every such chunk; a flooding device sends many.
    virtual void OnQueueFull(std::uint16_t portTag, std::uint32_t droppedBytes) = 0;

    // The device is gone (hung up, error, or failing reads): sent once, after which the
    // watcher has ended. The port stays open until Close; opening it again reconnects.
    virtual void OnLinkLost(std::uint16_t portTag, std::string reason) = 0;
};

}  // namespace keltrove
