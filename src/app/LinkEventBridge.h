// LinkEventBridge: carries the port watcher's reports from its thread to the window's.
//
// The watcher calls ILinkEvents on its own thread; each call only posts an event to the
// bridge and returns, never waiting for the GUI thread (Close waits for the watcher, so a
// watcher that waited for the window would deadlock against it). On the GUI thread the
// bridge hands WM_RX_NOTIFY (1025) to the window and emits queueFull and linkLost.
//
// It bounds what can pile up in Qt's queue however fast a device floods: at most one
// notification is pending (one drain takes every waiting byte), and at most one
// "m_QueueRead FULL!" report is pending or being shown; the bytes dropped meanwhile are
// added up and reported with the next one. PortClosed, called once the watcher has been
// joined, makes every report of the old watcher stale. GUI thread only, except the three
// ILinkEvents calls.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <string>

#include "LinkEvents.h"

namespace keltrove {

class CLinkEventBridge final : public QObject, public ILinkEvents {
    Q_OBJECT

public:
    // WM_RX_NOTIFY goes to `window`, which must outlive the bridge's events.
    explicit CLinkEventBridge(QObject& window);

    // The port was closed and its watcher has ended: drop what it reported.
    void PortClosed();

    // ILinkEvents, on the watcher's thread.
    void OnRxNotify(std::uint16_t portId) override;
    void OnQueueFull(std::uint16_t portId, std::uint32_t droppedBytes) override;
    void OnLinkLost(std::uint16_t portId, std::string reason) override;

signals:
    // `droppedBytes` since the last report; the next one comes only after this returns.
    void queueFull(std::uint16_t portId, std::uint64_t droppedBytes);
    void linkLost(std::uint16_t portId, QString reason);

protected:
    bool event(QEvent* event) override;

private:
    void Post(QEvent* event);

    QObject& m_Window;
    std::atomic<unsigned> m_nGeneration{0};  // counts PortClosed
    std::atomic<bool> m_bNotifyPending{false};
    std::atomic<bool> m_bFullPending{false};
    bool m_bFullShowing = false;  // GUI thread: a queueFull handler (its box) is running
    std::atomic<std::uint64_t> m_nDropped{0};
};

}  // namespace keltrove
