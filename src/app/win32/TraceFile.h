// TraceFile: the window's wire trace, appended to a file that the environment names.
//
// KELTROVE_TRACE=<path> turns it on: each frame sent and received, and each byte the
// receive assembly gives up, becomes a line as keltrove-cli --trace prints it (TraceLine),
// and so does the first line of each box the window shows ("box DERID Not Connected"), so
// that a trace tells what the user saw when. Lines end in LF and reach the file at once, so
// a trace survives a crash. Off, and free, without the variable. GUI thread only.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "WireTrace.h"

namespace keltrove {

class CTraceFile final : public IWireTrace {
public:
    // The variable that names the file.
    static constexpr const wchar_t* kVariable = L"KELTROVE_TRACE";

    // `portName` says which port the session talks to at the time of each line.
    explicit CTraceFile(std::function<std::string()> portName);

    // Opens the file the variable names, if any: an empty text when the trace is on or
    // off, else why the file cannot be opened.
    std::string Open();
    bool IsOn() const { return m_pFile != nullptr; }

    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override;
    void OnBox(const std::string& text);

private:
    void Append(const std::string& line);

    std::function<std::string()> m_PortName;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_pFile{nullptr, &std::fclose};
};

}  // namespace keltrove
