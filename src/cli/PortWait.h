// PortWait: opening a port that may not be there yet, for `--wait` and the station.
//
// The port is tried at once; when it does not open, a port watch (PortWatch.h) says when it
// may have come, and it is tried again then, and at least once a second besides (a port
// that another program lets go changes nothing the watch sees). Each new reason why it does
// not open is told once, so that a user sees what is awaited. A stop request ends the wait.
// Runs on the calling thread, a job's; the stop request may come from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace keltrove {
class CSerialLink;
}

namespace keltrove::cli {

class CStopRequest;

struct OpenWait {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> until;  // none: until a stop request
    // Told each reason, when it differs from the last, why the port does not open yet.
    std::function<void(const std::string& why)> waiting;
    // Added to the reason when the wait has run out: "; it did not open within ...".
    std::string ranOut;
};

enum class WaitEnd { Open, TimedOut, Stopped };

// Opens `port` on `link` as CSerialLink::Open does, waiting as `wait` says. After TimedOut
// the link's LastError says why it did not open.
WaitEnd OpenWhenThere(CSerialLink& link, const std::string& port, std::uint16_t portTag,
                      CStopRequest& stop, const OpenWait& wait);

}  // namespace keltrove::cli
