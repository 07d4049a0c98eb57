#include "WireLog.h"

#include <chrono>

namespace keltrove {

Q_LOGGING_CATEGORY(lcWire, "keltrove.wire", QtInfoMsg)

CWireLog::CWireLog(std::function<std::string()> portName) : m_PortName(std::move(portName)) {}

bool CWireLog::Enabled() {
    return lcWire().isDebugEnabled();
}

void CWireLog::OnWire(WireEvent event, std::span<const std::uint8_t> bytes) {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    qCDebug(lcWire).noquote() << QString::fromStdString(
        TraceLine(since, m_PortName(), event, bytes));
}

}  // namespace keltrove
