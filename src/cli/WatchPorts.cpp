#include "WatchPorts.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ComNames.h"
#include "Console.h"
#include "ExitCode.h"
#include "FileTexts.h"
#include "LocalTime.h"
#include "PortDescription.h"
#include "PortWatch.h"
#include "SerialDevices.h"
#include "StopRequest.h"

namespace keltrove::cli {

namespace {

using Json = nlohmann::ordered_json;

struct SeenDevice {
    SerialDevice device;
    std::vector<std::string> coms;  // the COMn it is mapped as
};

// Every serial device there is now, by path.
std::map<std::string, SeenDevice> DevicesNow() {
    std::map<std::string, SeenDevice> devices;
    for (SerialDevice& device : ListSerialDevices()) {
        const std::string path = device.path;
        devices[path].device = std::move(device);
    }
#ifdef _WIN32
    // The system's own names are the COM names.
    for (auto& [path, seen] : devices) seen.coms.push_back(path);
#else
    for (int number = kFirstComPort; number <= kLastComPort; ++number) {
        const PortDescription port = DescribePort(ComPortName(number));
        if (port.device.empty() || !port.problem.empty()) continue;
        SeenDevice& seen = devices[port.device];
        seen.device.path = port.device;
        seen.coms.push_back(ComPortName(number));
    }
#endif
    return devices;
}

Json OrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

void Tell(bool json, const char* event, const SeenDevice& seen) {
    const std::time_t now = std::time(nullptr);
    const SerialDevice& device = seen.device;
    if (json) {
        const Json line{{"time", IsoLocalTime(now)},       {"event", event},
                        {"device", device.path},           {"by_id", OrNull(device.stable)},
                        {"driver", OrNull(device.driver)}, {"usb", OrNull(device.usb)},
                        {"serial", OrNull(device.serial)}, {"com", seen.coms}};
        std::printf("%s\n", line.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
    } else {
        std::string details;
        const auto add = [&](const std::string& part) {
            if (!part.empty()) details += (details.empty() ? "" : "; ") + part;
        };
        for (const std::string& com : seen.coms) add("as " + com);
        add(device.stable);
        if (!device.driver.empty()) add("driver " + device.driver);
        if (!device.usb.empty()) add("USB " + device.usb);
        std::printf("%s  %-8s %s%s\n", LocalTimeText(now).c_str(), event,
                    DisplayText(device.path).c_str(),
                    details.empty() ? "" : (" (" + DisplayText(details) + ")").c_str());
    }
    std::fflush(stdout);
}

}  // namespace

int WatchPorts(bool json, CStopRequest& stop, CConsole& console) {
    CPortWatch watch;
    // Without the watch, a look once a second is all there is.
    const std::string unwatched = watch.StartForEveryPort();
    const std::shared_ptr<void> stopping = stop.OnRequest([&watch] { watch.Interrupt(); });
    std::map<std::string, SeenDevice> seen = DevicesNow();
    console.Say("watching for serial devices that appear or go (" + std::to_string(seen.size()) +
                " there now); Ctrl+C ends" + (unwatched.empty() ? "" : "; " + unwatched));
    for (;;) {
        // Watched, a look when told, and once an hour for good measure.
        const auto next = CPortWatch::Clock::now() +
                          (unwatched.empty() ? std::chrono::hours(1) : CPortWatch::kPollPeriod);
        if (watch.WaitForChange(next) == CPortWatch::Wake::Interrupted) return kExitSuccess;
        std::map<std::string, SeenDevice> now = DevicesNow();
        for (const auto& [path, device] : seen) {
            if (now.count(path) == 0) Tell(json, "gone", device);
        }
        for (const auto& [path, device] : now) {
            if (seen.count(path) == 0) Tell(json, "appeared", device);
        }
        seen = std::move(now);
        // Telling is all it does: a reader that went away (| head) ends it.
        if (OutputLost()) return kExitOutputLost;
    }
}

}  // namespace keltrove::cli
