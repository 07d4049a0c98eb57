// What every platform's link shares: construction, the failure text, and the receive
// queue's two ends.
#include "SerialLink.h"

#include <utility>

#include "ComNames.h"
#include "PortDescription.h"
#include "WriteTime.h"

namespace keltrove {

CSerialLink::CSerialLink(ILinkEvents* events) : m_pEvents(events) {}

CSerialLink::~CSerialLink() {
    Close();
}

int CSerialLink::Open(const std::string& name, std::uint32_t baud, std::uint16_t portTag) {
    Close();  // at most one port, and so one watcher, per object
    m_wPortTag = portTag;
    m_strDevice = name;
    m_strDevicePath.clear();
    m_strLastError.clear();
    m_eLastFailure = OpenFailure::None;

    if (const std::optional<NetworkPort> network = NetworkPortOf(name)) {
        m_strDevicePath = network->Name();
        m_nBaud = baud;
        if (baud == 0) return Fail(name + ": unsupported baud rate 0");
        if (std::string failed = m_Net.Open(*network, baud, PortAndDevice(name, m_strDevicePath));
            !failed.empty()) {
            return Fail(std::move(failed));
        }
    } else if (!OpenAndSetUp(baud)) {
        return 0;
    }
    m_bLinkUp.store(true, std::memory_order_release);
    const NativePort watched = m_Net.IsOpen() ? m_Net.Watched() : m_hPort.Watched();
    if (std::string failed = m_Watcher.Start(*this, watched, m_pEvents); !failed.empty()) {
        Close();
        return Fail("Error while creating ThreadWatchComm, " + m_strDevice + " (" + failed + ")");
    }
    return 1;
}

void CSerialLink::Close() {
    m_bLinkUp.store(false, std::memory_order_release);
    if (!IsOpen()) return;
    m_Watcher.Stop();  // before what it waits on is closed
    if (m_Net.IsOpen()) {
        m_Net.Close();
    } else {
        CloseSerial();
    }
}

std::uint32_t CSerialLink::Write(const std::uint8_t* bytes, std::uint32_t count) {
    if (m_Net.IsOpen()) return m_Net.Write(bytes, count, WriteTimeLimit(m_nBaud, count));
    return WriteSerial(bytes, count);
}

std::uint32_t CSerialLink::ReadPort(std::uint8_t* buffer, std::uint32_t size,
                                    std::string* failure) {
    if (m_Net.IsOpen()) return m_Net.Read(buffer, size, failure);
    return ReadSerial(buffer, size, failure);
}

std::string CSerialLink::LostReason() const {
    if (!IsOpen()) return {};
    if (!m_Watcher.IsRunning() && !m_Watcher.LostReason().empty()) return m_Watcher.LostReason();
    return m_Net.IsOpen() ? m_Net.ProbeLost() : ProbeLost();
}

void CSerialLink::FailLineNotTaken(const std::string& device) {
    Fail(device + ": the port did not take " + std::to_string(m_nBaud) +
         " baud, 8 data bits, no parity, 1 stop bit");
}

int CSerialLink::Fail(std::string reason, OpenFailure kind) {
    m_strLastError = std::move(reason);
    m_eLastFailure = kind;
    return 0;
}

std::size_t CSerialLink::TakeReceived(std::uint8_t* out, std::size_t capacity) {
    std::size_t taken = 0;
    while (taken < capacity && m_QueueRead.Pop(out + taken) == 1) ++taken;
    return taken;
}

void CSerialLink::StoreReceived(const std::uint8_t* chunk, std::uint32_t length,
                                ILinkEvents* events) {
    // The watcher is the queue's only producer, so Count can only be too high here, never
    // too low.
    if (static_cast<std::uint32_t>(m_QueueRead.Count()) + length <= CByteQueue::kCapacity) {
        for (std::uint32_t i = 0; i < length; ++i) m_QueueRead.Push(chunk[i]);
    } else if (events != nullptr) {
        events->OnQueueFull(m_wPortTag, length);
    }
}

}  // namespace keltrove
