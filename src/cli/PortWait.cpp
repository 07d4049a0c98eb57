#include "PortWait.h"

#include <algorithm>

#include "Frame.h"
#include "PortWatch.h"
#include "SerialLink.h"
#include "StopRequest.h"

namespace keltrove::cli {

namespace {
// However the port came back, it is tried at least this often.
constexpr std::chrono::seconds kRetryPeriod{1};
}  // namespace

WaitEnd OpenWhenThere(CSerialLink& link, const std::string& port, std::uint16_t portTag,
                      CStopRequest& stop, const OpenWait& wait) {
    if (link.Open(port, kLineBaud, portTag) != 0) return WaitEnd::Open;
    if (wait.until && OpenWait::Clock::now() >= *wait.until) return WaitEnd::TimedOut;
    // The watch starts only now, so a port that is there costs nothing; the next try
    // follows at once, so what came meanwhile is not missed.
    CPortWatch watch;
    [[maybe_unused]] const std::string unwatched = watch.Start(port);  // then the retries alone
    const std::shared_ptr<void> stopping = stop.OnRequest([&watch] { watch.Interrupt(); });
    std::string said;
    for (;;) {
        if (stop.Requested()) return WaitEnd::Stopped;
        if (link.Open(port, kLineBaud, portTag) != 0) return WaitEnd::Open;
        if (link.LastError() != said) {
            said = link.LastError();
            if (wait.waiting) wait.waiting(said);
        }
        const OpenWait::Clock::time_point now = OpenWait::Clock::now();
        if (wait.until && now >= *wait.until) return WaitEnd::TimedOut;
        const OpenWait::Clock::time_point next =
            wait.until ? std::min(now + kRetryPeriod, *wait.until) : now + kRetryPeriod;
        if (watch.WaitForChange(next) == CPortWatch::Wake::Interrupted) return WaitEnd::Stopped;
    }
}

}  // namespace keltrove::cli
