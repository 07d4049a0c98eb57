// DeviceSession: the simulated device between two line events, without the line itself.
//
// It takes the bytes the program sent, with their arrival time, and runs them through the
// receiver and the device model; it shapes each answer and queues it for the line, and it
// logs every frame received and sent. A read's answer starts answerDelay after the request;
// an echo goes at once. It decides when the line must hang up: with hangupAfter N, once N
// frames have passed on the line since it was plugged in, counting every complete frame
// received (whatever its command) and every report whose last byte has been written, and
// not counting noise. An answer is cut short so that no report beyond the Nth frame is
// queued. This happens once, unless hangupEveryLine: then every new line hangs up after N.
//
// The panel behind the line can go and another come (a bench where panels are connected one
// after another) while the line stays. With no panel, frames are logged and counted, and
// nothing answers or stores them. Each panel starts with its own table and keeps what was
// written to it until it goes.
//
// Single-threaded, no I/O and no clock: the caller passes the time, writes the due bytes
// and reports the port's events. No failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "AnswerShaper.h"
#include "DeviceModel.h"
#include "FrameReceiver.h"
#include "LineLog.h"
#include "TxQueue.h"

namespace keltrove::device {

struct SessionOptions {
    ShapeOptions shape;
    PanelBehaviour panel;
    bool silent = false;  // handles every frame, never answers a read (echoes still go)
    std::chrono::milliseconds answerDelay{0};  // from a read request to its answer
    unsigned hangupAfter = 0;                  // 0: never hang up
    bool hangupEveryLine = false;
};

class CDeviceSession {
public:
    CDeviceSession(const DeviceTable& table, const SessionOptions& options, std::mt19937& random,
                   ILineLog& log);

    // The line speed the device runs at.
    std::uint32_t Baud() const { return m_Options.shape.baud; }

    // `bytes` arrived from the program at `now`.
    void OnReceived(std::span<const std::uint8_t> bytes, TimePoint now);

    // When the next answer byte is due; empty when nothing waits.
    std::optional<TimePoint> NextDue() const { return m_Tx.NextDue(); }

    // Replaces `out` with the bytes to write at `now`; none once the line must hang up.
    void TakeDue(TimePoint now, std::vector<std::uint8_t>& out) const;

    // The first `count` of the bytes taken went out.
    void OnWritten(std::size_t count);

    // The line must be closed now.
    bool HangupDue() const { return m_bHangupDue; }

    // The line was closed and a new one plugged in: everything under way is gone.
    void OnHungUp();

    // The program opened, or closed, the port.
    void OnPortOpened();
    void OnPortClosed();

    // A new panel with `table` is connected behind the line, in place of any other.
    void ConnectPanel(const DeviceTable& table);
    // The panel goes, with its answer and its write under way.
    void DisconnectPanel();
    bool PanelConnected() const { return m_bPanel; }
    // Writes the current panel stored since it was connected.
    int StoredWrites() const { return m_nStoredWrites; }

    // The current panel, or the last one while none is connected.
    const CDeviceModel& Model() const { return m_Model; }

private:
    void HandleFrame(const Frame& frame, TimePoint now);
    void QueueReports(std::vector<Frame> reports, TimePoint start, std::string& logText);
    void CountFrame();
    bool HangupArmed() const;
    std::size_t FrameBudget() const;
    void DropUnderWay();

    SessionOptions m_Options;
    ILineLog& m_Log;
    CDeviceModel m_Model;
    CFrameReceiver m_Receiver;
    CAnswerShaper m_Shaper;
    CTxQueue m_Tx;
    unsigned m_nFrames = 0;  // frames on this line, for hangupAfter
    bool m_bHangupDue = false;
    bool m_bHungUp = false;
    bool m_bPanel = true;
    int m_nStoredWrites = 0;
};

}  // namespace keltrove::device
