#include "NetPort.h"

#include <algorithm>
#include <array>
#include <span>

namespace keltrove {

namespace {

// The most of what a server said before it closed that a message quotes.
constexpr std::size_t kQuotedLength = 120;

// What a server wrote as text before it closed ("Port already in use"), printable
// characters only; empty when it wrote none.
std::string Quoted(const std::vector<std::uint8_t>& said) {
    std::string text;
    for (const std::uint8_t byte : said) {
        const bool printable = byte >= 0x20 && byte < 0x7F;
        if (printable) text += static_cast<char>(byte);
        if (!printable && !text.empty() && text.back() != ' ') text += ' ';
        if (text.size() >= kQuotedLength) break;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

std::string CNetPort::Open(const NetworkPort& port, std::uint32_t baud, const std::string& shown,
                           std::chrono::milliseconds limit) {
    Close();
    m_strShown = shown;
    if (std::string failed = m_Socket.Connect(port.host, port.port, limit); !failed.empty()) {
        return shown + ": " + failed;
    }
    if (port.protocol == NetProtocol::Rfc2217) {
        m_Telnet.emplace(baud);
        if (std::string failed = Negotiate(limit); !failed.empty()) {
            Close();
            return shown + ": " + failed;
        }
    }
    return {};
}

std::string CNetPort::Negotiate(std::chrono::milliseconds limit) {
    const auto deadline = CSocket::Clock::now() + limit;
    std::string failure;
    if (!SendAll(m_Telnet->Begin(), deadline, failure)) return failure;
    std::vector<std::uint8_t> said;  // what came as data: not the panel's, but maybe words
    std::array<std::uint8_t, 512> chunk;
    while (m_Telnet->State() == CRfc2217Client::Stage::Negotiating) {
        if (!m_Socket.WaitReadable(deadline)) {
            return "the server did not finish the RFC 2217 negotiation within " + LimitText(limit) +
                   " (it has not given " + m_Telnet->Awaited() +
                   "); if it is a raw TCP port, give it as tcp://HOST:PORT";
        }
        const std::size_t got = m_Socket.Receive(chunk.data(), chunk.size(), failure);
        if (got == 0 && !failure.empty()) {
            const std::string words = Quoted(said);
            return failure + " during the RFC 2217 negotiation" +
                   (words.empty() ? "" : "; it said: \"" + words + "\"");
        }
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> replies;
        m_Telnet->Receive(std::span(chunk.data(), got), data, replies);
        if (said.size() < kQuotedLength) said.insert(said.end(), data.begin(), data.end());
        // With nothing to answer, a NOP still carries the acknowledgement of what came: a
        // server holds its next answer until then (Nagle's rule), and this end would
        // otherwise acknowledge late (40 ms on Linux, 200 ms on Windows).
        if (replies.empty() && m_Telnet->State() == CRfc2217Client::Stage::Negotiating) {
            replies = {telnet::kIac, telnet::kNop};
        }
        if (!replies.empty() && !SendAll(replies, deadline, failure)) return failure;
    }
    return m_Telnet->Failure();
}

void CNetPort::Close() {
    m_Socket.Close();
    m_Telnet.reset();
    m_bClosedByServer.store(false, std::memory_order_relaxed);
}

bool CNetPort::SendAll(const std::vector<std::uint8_t>& wire,
                       std::optional<CSocket::Clock::time_point> deadline, std::string& failure) {
    const std::lock_guard lock(m_SendLock);
    return m_Socket.Send(wire.data(), wire.size(), deadline, failure) == wire.size();
}

std::uint32_t CNetPort::Write(const std::uint8_t* bytes, std::uint32_t count,
                              std::optional<std::chrono::milliseconds> limit) {
    // Once the server has closed, the kernel would still take a frame or two that never
    // reach the panel.
    if (!IsOpen() || count == 0 || m_bClosedByServer.load(std::memory_order_acquire)) return 0;
    std::optional<CSocket::Clock::time_point> deadline;
    if (limit) deadline = CSocket::Clock::now() + *limit;
    std::string failure;
    const std::lock_guard lock(m_SendLock);
    if (!m_Telnet) {
        return static_cast<std::uint32_t>(m_Socket.Send(bytes, count, deadline, failure));
    }
    std::vector<std::uint8_t> wire;
    wire.reserve(count + count / 8);
    CRfc2217Client::Escape(std::span(bytes, count), wire);
    const std::size_t sent = m_Socket.Send(wire.data(), wire.size(), deadline, failure);
    if (sent == wire.size()) return count;
    // The bytes whose whole escaped form went out.
    std::uint32_t taken = 0;
    for (std::size_t at = 0; taken < count; ++taken) {
        at += bytes[taken] == telnet::kIac ? 2 : 1;
        if (at > sent) break;
    }
    return taken;
}

std::uint32_t CNetPort::Read(std::uint8_t* buffer, std::uint32_t size, std::string* failure) {
    if (!IsOpen() || size == 0) return 0;
    std::string why;
    if (!m_Telnet) {
        const std::size_t got = m_Socket.Receive(buffer, size, why);
        if (got == 0 && !why.empty()) {
            m_bClosedByServer.store(true, std::memory_order_release);
            if (failure != nullptr) *failure = m_strShown + ": " + why;
        }
        return static_cast<std::uint32_t>(got);
    }
    // Telnet's commands take room but carry no data: read on until data comes or none waits.
    // The data never outgrows what was read, so `size` bytes read fit in `buffer`.
    m_Raw.resize(size);
    for (;;) {
        const std::size_t got = m_Socket.Receive(m_Raw.data(), size, why);
        if (got == 0) {
            if (!why.empty()) {
                m_bClosedByServer.store(true, std::memory_order_release);
                if (failure != nullptr) *failure = m_strShown + ": " + why;
            }
            return 0;
        }
        m_Data.clear();
        m_Replies.clear();
        m_Telnet->Receive(std::span(m_Raw.data(), got), m_Data, m_Replies);
        if (!m_Replies.empty()) {
            std::string unsent;
            // Bounded, so that Close never waits long for a watcher sending an answer.
            SendAll(m_Replies, CSocket::Clock::now() + kOpenLimit, unsent);
        }
        if (!m_Data.empty()) {
            std::copy(m_Data.begin(), m_Data.end(), buffer);
            return static_cast<std::uint32_t>(m_Data.size());
        }
    }
}

std::string CNetPort::ProbeLost() const {
    if (!IsOpen()) return {};
    const std::string why = m_Socket.ProbeClosed();
    return why.empty() ? why : m_strShown + ": " + why;
}

}  // namespace keltrove
