// WatchedPort: what a port's watcher thread may use of its link, and nothing more.
//
// CSerialLink implements it for the CWatchComm it owns. Every call comes from the watcher's
// thread while the link's Open has set the port up and Close has not yet joined the
// watcher; IsLinkUp may turn false at any moment meanwhile. No failures but ReadPort's.
#pragma once

#include <cstdint>
#include <string>

namespace keltrove {

class ILinkEvents;

class IWatchedPort {
public:
    // The run flag: set from the end of Open until Close begins.
    virtual bool IsLinkUp() const = 0;
    // Open's port tag, sent with every report.
    virtual std::uint16_t PortTag() const = 0;
    // The port as the watcher's messages name it.
    virtual const std::string& PortName() const = 0;
    // Reads up to `size` waiting bytes, 0 when none wait; on a failing port also 0, with
    // why the device is gone in `failure`.
    virtual std::uint32_t ReadPort(std::uint8_t* buffer, std::uint32_t size,
                                   std::string* failure) = 0;
    // Stores a chunk whole when it fits in the receive queue, else drops it whole and says
    // so through `events`.
    virtual void StoreReceived(const std::uint8_t* chunk, std::uint32_t length,
                               ILinkEvents* events) = 0;

protected:
    ~IWatchedPort() = default;
};

}  // namespace keltrove
