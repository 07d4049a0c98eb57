#include "FakeServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "Rfc2217.h"
#include "SimulatorProcess.h"  // kGuardMs

namespace keltrove::test {

namespace {

using namespace telnet;

bool Readable(int fd) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, kGuardMs) == 1;
}

}  // namespace

UniqueFd ListenLocal(int backlog, std::uint16_t& port) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener.Get(), backlog) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return listener;
}

CFakeServer::CFakeServer(std::uint32_t baudAnswer) : m_nBaudAnswer(baudAnswer) {
    std::uint16_t port = 0;
    m_Listener = ListenLocal(1, port);
    m_strUrl = "rfc2217://127.0.0.1:" + std::to_string(port);
    m_Thread = std::thread(&CFakeServer::Serve, this);
}

CFakeServer::~CFakeServer() {
    if (m_Thread.joinable()) m_Thread.join();
}

bool CFakeServer::Negotiated() {
    if (m_Thread.joinable()) m_Thread.join();
    return m_bNegotiated;
}

void CFakeServer::Serve() {
    if (!Readable(m_Listener.Get())) return;
    m_Client.Reset(::accept4(m_Listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!SendNow({kIac, kDo, kBinary, kIac, kWill, kBinary, kIac, kDo, kComPortOption, kIac, kWill,
                  kEcho})) {
        return;
    }
    // The client's opening and answers, then its five settings, IAC SB 44 command value IAC
    // SE, each answered with the command plus 100 (no IAC is among the values of 9600 8N1).
    constexpr std::uint8_t kStart[] = {kIac, kSb};
    constexpr std::uint8_t kEnd[] = {kIac, kSe};
    std::vector<std::uint8_t> heard;
    for (int answered = 0; answered < comport::kSetControl;) {
        std::uint8_t chunk[256];
        const ssize_t got =
            Readable(m_Client.Get()) ? ::read(m_Client.Get(), chunk, sizeof chunk) : 0;
        if (got <= 0) return;  // the client gave up
        heard.insert(heard.end(), chunk, chunk + got);
        std::vector<std::uint8_t> answers;  // sent at once, as the client sent its settings
        for (;;) {
            const auto start = std::search(heard.begin(), heard.end(), kStart, kStart + 2);
            const auto end = std::search(start, heard.end(), kEnd, kEnd + 2);
            if (end == heard.end()) break;  // not all here yet
            std::vector<std::uint8_t> answer(start, end + 2);
            answer[3] += comport::kServerAnswer;
            if (answer[3] == comport::kServerAnswer + comport::kSetBaudRate) {
                for (int i = 0; i < 4; ++i) {
                    answer[4 + i] = static_cast<std::uint8_t>(m_nBaudAnswer >> (24 - 8 * i));
                }
            }
            answers.insert(answers.end(), answer.begin(), answer.end());
            ++answered;
            heard.erase(heard.begin(), end + 2);
        }
        if (!SendNow(answers)) return;
    }
    m_bNegotiated = true;
}

bool CFakeServer::SendNow(const std::vector<std::uint8_t>& wire) const {
    // MSG_NOSIGNAL: a client that has given up is no reason to end the test.
    return ::send(m_Client.Get(), wire.data(), wire.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(wire.size());
}

void CFakeServer::Send(const std::vector<std::uint8_t>& wire) const {
    if (!SendNow(wire)) throw std::runtime_error("the fake server could not send");
}

std::vector<std::uint8_t> CFakeServer::Take(std::size_t count) const {
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    for (ssize_t n = 0; got < count && Readable(m_Client.Get());
         got += static_cast<std::size_t>(n)) {
        if ((n = ::read(m_Client.Get(), bytes.data() + got, count - got)) <= 0) break;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace keltrove::test
