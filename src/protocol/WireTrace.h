// WireTrace: the one hook through which a session reports what passes on the wire, and the
// one way its lines are written.
//
// A session with a trace reports every frame it sends and every frame it receives, and the
// bytes the receive assembly gives up: noise between frames, eight bytes that were not a
// frame, a frame cut short by the inter-byte time-out, and bytes dropped unread. The command line's
// --trace and the window's logging category keltrove.wire both print these lines. The core has no
// clock, so the front end passes the time. Called on the session's thread; the formatting
// is pure and callable from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace keltrove {

enum class WireEvent {
    Sent,       // a frame went out whole
    NotTaken,   // a frame the line did not take whole
    Received,   // a frame came in
    Noise,      // bytes between frames
    NotAFrame,  // eight bytes that did not end in 0x03, up to the next start byte
    CutShort,   // the bytes of a frame that stopped coming
    Dropped,    // bytes that came before a read-back request, or from a port since closed
};

class IWireTrace {
public:
    virtual ~IWireTrace() = default;
    virtual void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) = 0;
};

// "01 40 30 30 30 30 30 03"
std::string HexBytes(std::span<const std::uint8_t> bytes);

// "   12.345678 COM1 tx 01 40 30 30 30 30 30 03": seconds on a monotonic clock, the port,
// what happened and the bytes.
std::string TraceLine(std::chrono::nanoseconds since, std::string_view port, WireEvent event,
                      std::span<const std::uint8_t> bytes);
// "   12.345678 COM1 box DERID Not Connected": a note of the front end's, stamped as the
// frames around it are.
std::string TraceNote(std::chrono::nanoseconds since, std::string_view port, std::string_view note);

}  // namespace keltrove
