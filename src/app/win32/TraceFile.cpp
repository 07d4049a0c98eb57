#include "TraceFile.h"

#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "SystemError.h"

namespace keltrove {

namespace {

std::chrono::nanoseconds Now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

}  // namespace

CTraceFile::CTraceFile(std::function<std::string()> portName) : m_PortName(std::move(portName)) {}

std::string CTraceFile::Open() {
    const DWORD length = ::GetEnvironmentVariableW(kVariable, nullptr, 0);
    if (length <= 1) return {};
    std::vector<wchar_t> path(length);
    if (::GetEnvironmentVariableW(kVariable, path.data(), length) != length - 1) return {};
    m_pFile.reset(::_wfopen(path.data(), L"ab"));
    if (m_pFile) return {};
    return "Cannot open the wire trace " + Narrow(path.data()) + ": " + std::strerror(errno);
}

void CTraceFile::OnWire(WireEvent event, std::span<const std::uint8_t> bytes) {
    Append(TraceLine(Now(), m_PortName(), event, bytes));
}

void CTraceFile::OnBox(const std::string& text) {
    // Stamped as TraceLine stamps, so that the box stands among the frames that led to it.
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Now()).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%6lld.%06lld", static_cast<long long>(micros / 1000000),
                  static_cast<long long>(micros % 1000000));
    Append(std::string(stamp) + ' ' + m_PortName() + " box " + text.substr(0, text.find('\n')));
}

void CTraceFile::Append(const std::string& line) {
    if (!m_pFile) return;
    std::fputs((line + '\n').c_str(), m_pFile.get());
    std::fflush(m_pFile.get());
}

}  // namespace keltrove
