// NetPort: a network port behind CSerialLink: a serial device server's TCP port, reached
// with RFC 2217 or as raw TCP (NetworkPortName.h).
//
// Open connects within a time limit and, for RFC 2217, negotiates binary mode both ways and
// COM-PORT-OPTION and sets the server's line (Rfc2217.h), checking its answers within the
// same limit again; bytes that come before that are not the panel's answer and are dropped.
// Raw TCP is open once connected: its server port is set up by whoever runs the server.
// Afterwards Write sends what the link writes (for RFC 2217 with IAC doubled), and Read
// gives the watcher what came (IAC undoubled, the server's late negotiation answered, its
// notifications left out). A connection the server closes reads as a hang-up.
//
// Threads: Open, Close and Write belong to the link's thread, Read to the watcher's while
// it runs; Open and Close run while no watcher does. The negotiation's answers that Read
// sends and Write's bytes never interleave. ProbeLost may be called from the link's thread
// at any time. Failures come back as text that names the port as Open was told to name it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "NetworkPortName.h"
#include "Rfc2217.h"
#include "Socket.h"

namespace keltrove {

class CNetPort {
public:
    // How long connecting may take, and then the RFC 2217 negotiation.
    static constexpr std::chrono::milliseconds kOpenLimit{3000};

    // Opens `port` for a line at `baud`, naming it `shown` in messages ("COM3
    // (rfc2217://10.0.0.5:4001)"). "" when open; else why not, and nothing is left open.
    std::string Open(const NetworkPort& port, std::uint32_t baud, const std::string& shown,
                     std::chrono::milliseconds limit = kOpenLimit);
    void Close();
    bool IsOpen() const { return m_Socket.IsOpen(); }
    // What the watcher waits on.
    NativePort Watched() const { return m_Socket.Watched(); }

    // Sends `count` bytes within `limit` (none: without one). How many of them went out; 0
    // once the server has closed the connection.
    std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count,
                        std::optional<std::chrono::milliseconds> limit);
    // The watcher's read: up to `size` bytes of the panel's that have arrived; 0 when none
    // wait, and 0 with `failure` set (naming the port) when the connection is gone.
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size, std::string* failure);
    // Why the connection is gone, naming the port; empty while it seems up.
    std::string ProbeLost() const;

private:
    std::string Negotiate(std::chrono::milliseconds limit);
    // Sends `wire` whole under the send lock; false with `failure` set otherwise.
    bool SendAll(const std::vector<std::uint8_t>& wire,
                 std::optional<CSocket::Clock::time_point> deadline, std::string& failure);

    CSocket m_Socket;
    std::optional<CRfc2217Client> m_Telnet;  // for RFC 2217; the watcher's once open
    std::mutex m_SendLock;                   // one sender at a time on the socket
    std::atomic<bool> m_bClosedByServer{false};
    std::string m_strShown;
    // The watcher's buffers, kept to spare an allocation on each read.
    std::vector<std::uint8_t> m_Raw;
    std::vector<std::uint8_t> m_Data;
    std::vector<std::uint8_t> m_Replies;
};

}  // namespace keltrove
