// Socket: one TCP connection to a serial device server, for CNetPort.
//
// Connect looks the host up, connects within a time limit and sets TCP_NODELAY, so that each
// frame goes out at once rather than waiting to be joined to the next. Send waits for room
// up to a deadline; Receive never waits, and takes only what has arrived. The watcher waits
// on Watched() as it waits on a port: the descriptor on POSIX, polled for POLLIN; on Windows
// the event that the socket sets (WSAEventSelect) when bytes come or the connection ends.
//
// Threads: Connect and Close on the link's thread while no watcher runs; Send on one thread
// at a time and Receive on one thread at a time (CNetPort sees to both); ProbeClosed from
// any. Failures come back as text without the port's name, which the caller adds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "PortHandle.h"    // NativePort, from the platform folder
#include "SocketHandle.h"  // from the platform folder

namespace keltrove {

class CSocket {
public:
    using Clock = std::chrono::steady_clock;

    CSocket() = default;
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    ~CSocket() { Close(); }

    // Connects to `host` on TCP port `port`, trying each of its addresses until `limit` has
    // passed. "" when connected; else why not, naming the host and the port ("no answer from
    // 10.0.0.5 on port 4001 within 3 s; ...").
    std::string Connect(const std::string& host, std::uint16_t port,
                        std::chrono::milliseconds limit);
    void Close();
    bool IsOpen() const { return m_Socket.IsValid(); }
    NativePort Watched() const;

    // Sends `count` bytes, waiting for room until `deadline` (without one: as long as it
    // takes). How many went; fewer with `failure` set when the connection failed or took
    // nothing more in time.
    std::size_t Send(const std::uint8_t* bytes, std::size_t count,
                     std::optional<Clock::time_point> deadline, std::string& failure);
    // Takes up to `size` bytes that have arrived. 0 when none wait; 0 with `failure` set when
    // the connection is gone ("the server closed the connection").
    std::size_t Receive(std::uint8_t* buffer, std::size_t size, std::string& failure);
    // Waits until bytes arrive or the connection ends; false when `deadline` passed first.
    bool WaitReadable(Clock::time_point deadline) const;
    // Why the connection is gone, found without taking any byte; empty while it is up.
    std::string ProbeClosed() const;

private:
    SocketHandle m_Socket;
};

// "3 s", "0.25 s": a time limit as messages give it.
inline std::string LimitText(std::chrono::milliseconds limit) {
    std::string text = std::to_string(limit.count() / 1000);
    if (const auto fraction = limit.count() % 1000; fraction != 0) {
        std::string digits = std::to_string(1000 + fraction).substr(1);
        while (digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    return text + " s";
}

// Why connecting to `host` on `port` failed: the limit passed, the host refused, or another
// cause, which `message` (the system's words) gives.
enum class ConnectFailure { TimedOut, Refused, Other };
inline std::string ConnectFailureText(const std::string& host, std::uint16_t port,
                                      ConnectFailure failure, const std::string& message,
                                      std::chrono::milliseconds limit) {
    const std::string number = std::to_string(port);
    switch (failure) {
        case ConnectFailure::TimedOut:
            return "no answer from " + host + " on port " + number + " within " +
                   LimitText(limit) +
                   "; check that the server is on and reachable, and its address and port";
        case ConnectFailure::Refused:
            return host + " refused the connection on port " + number + " (" + message +
                   "); check the port, and that the server runs";
        case ConnectFailure::Other:
            break;
    }
    return "cannot connect to " + host + " on port " + number + ": " + message;
}

}  // namespace keltrove
