// WireLog: the window's wire trace, in the logging category keltrove.wire.
//
// Off by default; QT_LOGGING_RULES="keltrove.wire.debug=true" turns it on, and then every
// frame sent and received, and every byte the receive assembly gives up, is logged in hex
// with a monotonic timestamp and the port's name, as keltrove-cli --trace prints it. GUI
// thread only.
#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <functional>
#include <string>

#include "WireTrace.h"

namespace keltrove {

Q_DECLARE_LOGGING_CATEGORY(lcWire)

class CWireLog final : public IWireTrace {
public:
    // `portName` says which port the session talks to at the time of each line.
    explicit CWireLog(std::function<std::string()> portName);

    // Whether the category is on, so that the window need not trace at all otherwise.
    static bool Enabled();

    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override;

private:
    std::function<std::string()> m_PortName;
};

}  // namespace keltrove
