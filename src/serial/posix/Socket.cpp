// The socket on POSIX: a non-blocking TCP socket, connected with poll() as its clock.
#include "Socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "ErrorText.h"
#include "PollWait.h"

namespace keltrove {

namespace {

// The system's message for a network error, with plain words where it is jargon.
std::string NetworkMessage(int error) {
    std::string_view plain;
    switch (error) {
        case ECONNREFUSED:
            plain = "no server listens on that port";
            break;
        case ECONNRESET:
        case EPIPE:
            plain = "the server dropped the connection";
            break;
        case EHOSTUNREACH:
        case ENETUNREACH:
            plain = "this computer has no way to that host";
            break;
        default:
            break;
    }
    return WithPlainWords(std::generic_category().message(error), plain);
}

// Why connecting failed with `error`; ETIMEDOUT is the limit passing.
std::string ConnectFailed(const std::string& host, std::uint16_t port, int error,
                          std::chrono::milliseconds limit) {
    const ConnectFailure failure = error == ETIMEDOUT      ? ConnectFailure::TimedOut
                                   : error == ECONNREFUSED ? ConnectFailure::Refused
                                                           : ConnectFailure::Other;
    return ConnectFailureText(host, port, failure, NetworkMessage(error), limit);
}

// Waits for a connect() under way to end; 0 when connected, else its error (ETIMEDOUT when
// `deadline` passed first).
int AwaitConnected(int fd, PollClock::time_point deadline) {
    const short flags = WaitForPoll(fd, POLLOUT, deadline);
    if (flags == 0) return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

}  // namespace

std::string CSocket::Connect(const std::string& host, std::uint16_t port,
                             std::chrono::milliseconds limit) {
    Close();
    const auto deadline = Clock::now() + limit;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int lookup =
            ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        lookup != 0) {
        const std::string why =
            lookup == EAI_SYSTEM ? NetworkMessage(errno) : ::gai_strerror(lookup);
        return "cannot find the host " + host + ": " + why;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
    std::string failure;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        UniqueFd fd(::socket(address->ai_family,
                             address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                             address->ai_protocol));
        int error = fd.IsValid() ? 0 : errno;
        if (error == 0 && ::connect(fd.Get(), address->ai_addr, address->ai_addrlen) != 0) {
            error = errno == EINPROGRESS ? AwaitConnected(fd.Get(), deadline) : errno;
        }
        const int on = 1;
        if (error == 0 && ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
            error = errno;
        }
        if (error == 0) {
            m_Socket.fd = std::move(fd);
            return {};
        }
        failure = ConnectFailed(host, port, error, limit);
        if (Clock::now() >= deadline) break;
    }
    return failure;
}

void CSocket::Close() {
    m_Socket.fd.Reset();
}

NativePort CSocket::Watched() const {
    return m_Socket.fd.Get();
}

std::size_t CSocket::Send(const std::uint8_t* bytes, std::size_t count,
                          std::optional<Clock::time_point> deadline, std::string& failure) {
    std::size_t sent = 0;
    while (sent < count && IsOpen()) {
        // MSG_NOSIGNAL: a connection the server has closed is an error, not SIGPIPE.
        const ssize_t n = ::send(m_Socket.fd.Get(), bytes + sent, count - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const short flags = WaitForPoll(m_Socket.fd.Get(), POLLOUT, deadline);
            if (flags == 0) {
                failure = "the server took nothing more in time";
                break;
            }
        } else {
            failure = NetworkMessage(n < 0 ? errno : EPIPE);
            break;
        }
    }
    return sent;
}

std::size_t CSocket::Receive(std::uint8_t* buffer, std::size_t size, std::string& failure) {
    for (;;) {
        const ssize_t n = ::recv(m_Socket.fd.Get(), buffer, size, 0);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n == 0) {
            failure = "the server closed the connection";
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) failure = NetworkMessage(errno);
        return 0;
    }
}

bool CSocket::WaitReadable(Clock::time_point deadline) const {
    return WaitForPoll(m_Socket.fd.Get(), POLLIN, deadline) != 0;
}

std::string CSocket::ProbeClosed() const {
    if (WaitForPoll(m_Socket.fd.Get(), POLLIN, Clock::now()) == 0) return {};
    std::uint8_t byte = 0;
    const ssize_t n = ::recv(m_Socket.fd.Get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) return "the server closed the connection";
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        return NetworkMessage(errno);
    }
    return {};
}

}  // namespace keltrove
