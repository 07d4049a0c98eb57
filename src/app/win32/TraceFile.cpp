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
    // Stamped as the frames are, so that the box stands among those that led to it.
    Append(TraceNote(Now(), m_PortName(), "box " + text.substr(0, text.find('\n'))));
}

void CTraceFile::Append(const std::string& line) {
    if (!m_pFile) return;
    std::fputs((line + '\n').c_str(), m_pFile.get());
    std::fflush(m_pFile.get());
}

}  // namespace keltrove
