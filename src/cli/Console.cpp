#include "Console.h"

#include <chrono>
#include <cstdio>

#include "FileTexts.h"

namespace keltrove::cli {

namespace {
constexpr int kBarWidth = 20;
}  // namespace

CConsole::CConsole(bool trace, bool stderrIsTerminal)
    : m_bTrace(trace), m_bProgress(stderrIsTerminal && !trace) {}

void CConsole::Begin(const std::vector<std::string>& ports, int steps, std::string what) {
    std::lock_guard lock(m_Mutex);
    m_Done.clear();
    for (const std::string& port : ports) m_Done[port] = 0;
    m_nSteps = steps;
    m_strWhat = std::move(what);
    Draw();
}

void CConsole::End() {
    std::lock_guard lock(m_Mutex);
    if (m_bDrawn) std::fputs("\r\033[K", stderr);
    m_bDrawn = false;
    m_nSteps = 0;
}

void CConsole::Say(const std::string& line) {
    std::lock_guard lock(m_Mutex);
    if (m_bDrawn) std::fputs("\r\033[K", stderr);
    m_bDrawn = false;
    std::fprintf(stderr, "%s\n", DisplayText(line).c_str());
    Draw();
}

void CConsole::OnWire(const std::string& port, WireEvent event,
                      std::span<const std::uint8_t> bytes) {
    if (!m_bTrace) return;
    std::lock_guard lock(m_Mutex);
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(stderr, "%s\n", DisplayText(TraceLine(since, port, event, bytes)).c_str());
}

void CConsole::OnStep(const std::string& port) {
    std::lock_guard lock(m_Mutex);
    if (auto done = m_Done.find(port); done != m_Done.end()) ++done->second;
    Draw();
}

void CConsole::Draw() {
    if (!m_bProgress || m_nSteps == 0 || m_Done.empty()) return;
    int done = 0;
    for (const auto& [port, steps] : m_Done) done += std::min(steps, m_nSteps);
    const int total = m_nSteps * static_cast<int>(m_Done.size());
    const int filled = total == 0 ? 0 : done * kBarWidth / total;
    const std::string who = m_Done.size() == 1 ? DisplayText(m_Done.begin()->first)
                                               : std::to_string(m_Done.size()) + " ports";
    std::fprintf(stderr, "\r%s %s [%s%s] %d/%d", m_strWhat.c_str(), who.c_str(),
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), done,
                 total);
    std::fflush(stderr);
    m_bDrawn = true;
}

bool OutputLost() {
    const bool flushed = std::fflush(stdout) == 0;
    return !flushed || std::ferror(stdout) != 0 || std::ferror(stderr) != 0;
}

}  // namespace keltrove::cli
