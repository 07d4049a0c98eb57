#include "Console.h"

#include <chrono>
#include <cstdio>

#include "FileTexts.h"

namespace keltrove::cli {

namespace {
constexpr int kBarWidth = 20;
}  // namespace

CConsole::CConsole(bool trace, bool stderrIsTerminal)
    : m_bTrace(trace), m_bTerminal(stderrIsTerminal), m_bProgress(stderrIsTerminal && !trace) {}

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

void CConsole::Out(const std::string& line) {
    std::lock_guard lock(m_Mutex);
    if (m_bDrawn) std::fputs("\r\033[K", stderr);
    m_bDrawn = false;
    std::fflush(stderr);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    Draw();
}

void CConsole::SetState(const std::string& port, const std::string& state, const std::string& group,
                        int steps) {
    std::lock_guard lock(m_Mutex);
    PortState& now = m_States[port];
    const bool changed = now.text != state;
    now = {state, group, steps};
    m_Done[port] = 0;
    if (m_bProgress) {
        Draw();
    } else if (changed) {
        std::fprintf(stderr, "%s\n", DisplayText(port + ": " + state).c_str());
    }
}

bool CConsole::Bell() {
    if (!m_bTerminal) return false;
    std::lock_guard lock(m_Mutex);
    std::fputc('\a', stderr);
    std::fflush(stderr);
    return true;
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

// "COM1: writing [#####...............] 17/66", or with several ports how many do what:
// "8 ports: 5 waiting, 2 writing, 1 leaving".
std::string CConsole::StatesLine() const {
    if (m_States.size() == 1) {
        const auto& [port, state] = *m_States.begin();
        std::string line = port + ": " + state.text;
        if (state.steps > 0) {
            const int done = std::min(m_Done.at(port), state.steps);
            const int filled = done * kBarWidth / state.steps;
            line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                    std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                    std::to_string(done) + "/" + std::to_string(state.steps);
        }
        return line;
    }
    std::map<std::string, int> groups;
    for (const auto& [port, state] : m_States) ++groups[state.group];
    std::string line = std::to_string(m_States.size()) + " ports:";
    for (const auto& [group, count] : groups) {
        line += (line.back() == ':' ? " " : ", ") + std::to_string(count) + " " + group;
    }
    return line;
}

void CConsole::Draw() {
    if (m_bProgress && !m_States.empty()) {
        std::fprintf(stderr, "\r\033[K%s", DisplayText(StatesLine()).c_str());
        std::fflush(stderr);
        m_bDrawn = true;
        return;
    }
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
