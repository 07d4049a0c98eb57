// The socket on Windows: Winsock, started once; a non-blocking socket whose arrivals and end
// set an event (WSAEventSelect) for the watcher; select() as the clock of everything else.
// Winsock's headers must come before <windows.h>, which Socket.h brings.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>

#include "Socket.h"
// clang-format on

#include <algorithm>
#include <memory>
#include <utility>

#include "ErrorText.h"
#include "SystemError.h"

namespace keltrove {

namespace {

SOCKET Native(const SocketHandle& handle) {
    return static_cast<SOCKET>(handle.socket);
}

// Winsock for the whole process: started once, on the first connection, and never stopped,
// since a watcher may use it until the program ends.
std::string StartWinsock() {
    static const int started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return started == 0
               ? std::string()
               : "cannot start Windows Sockets: " + SystemMessage(static_cast<DWORD>(started));
}

// The system's message for a Winsock error, with plain words where it is jargon.
std::string NetworkMessage(int error) {
    std::string_view plain;
    switch (error) {
        case WSAECONNREFUSED:
            plain = "no server listens on that port";
            break;
        case WSAECONNRESET:
        case WSAECONNABORTED:
            plain = "the server dropped the connection";
            break;
        case WSAEHOSTUNREACH:
        case WSAENETUNREACH:
            plain = "this computer has no way to that host";
            break;
        default:
            break;
    }
    return WithPlainWords(SystemMessage(static_cast<DWORD>(error)), plain);
}

std::string ConnectFailed(const std::string& host, std::uint16_t port, int error,
                          std::chrono::milliseconds limit) {
    const ConnectFailure failure = error == WSAETIMEDOUT      ? ConnectFailure::TimedOut
                                   : error == WSAECONNREFUSED ? ConnectFailure::Refused
                                                              : ConnectFailure::Other;
    return ConnectFailureText(host, port, failure, NetworkMessage(error), limit);
}

// One socket, closed unless it is kept.
class COwnedSocket {
public:
    explicit COwnedSocket(SOCKET socket) : m_Socket(socket) {}
    COwnedSocket(const COwnedSocket&) = delete;
    COwnedSocket& operator=(const COwnedSocket&) = delete;
    ~COwnedSocket() {
        if (m_Socket != INVALID_SOCKET) ::closesocket(m_Socket);
    }
    SOCKET Get() const { return m_Socket; }
    SOCKET Release() { return std::exchange(m_Socket, INVALID_SOCKET); }

private:
    SOCKET m_Socket;
};

// What select() waits for.
enum class Await { Readable, Writable, Connected };

// Waits with select() for `socket` until `deadline` (none: without limit). True when it is
// ready (for Connected: done, connected or not); false when the deadline passed.
bool Select(SOCKET socket, Await what, std::optional<CSocket::Clock::time_point> deadline) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout{};
    if (deadline) {
        const auto left = std::max<long long>(
            0, std::chrono::ceil<std::chrono::microseconds>(*deadline - CSocket::Clock::now())
                   .count());
        timeout.tv_sec = static_cast<long>(left / 1000000);
        timeout.tv_usec = static_cast<long>(left % 1000000);
    }
    const bool reading = what == Await::Readable;
    // A failed connect shows among the exceptions, a closed connection as readable.
    const int count =
        ::select(0, reading ? &ready : nullptr, reading ? nullptr : &ready,
                 what == Await::Connected ? &failed : nullptr, deadline ? &timeout : nullptr);
    return count != 0;
}

// Ends a connect() under way: 0 when connected, else its error (WSAETIMEDOUT when `deadline`
// passed first).
int AwaitConnected(SOCKET socket, CSocket::Clock::time_point deadline) {
    if (!Select(socket, Await::Connected, deadline)) return WSAETIMEDOUT;
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return ::WSAGetLastError();
    }
    return error;
}

// Connects a non-blocking socket to `address`, with TCP_NODELAY, into `connected`; its error
// otherwise.
int ConnectOne(const addrinfo& address, CSocket::Clock::time_point deadline, SOCKET& connected) {
    COwnedSocket socket(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
    if (socket.Get() == INVALID_SOCKET) return ::WSAGetLastError();
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0) return ::WSAGetLastError();
    if (::connect(socket.Get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return error;
        if (const int failed = AwaitConnected(socket.Get(), deadline); failed != 0) return failed;
    }
    const BOOL on = TRUE;
    if (::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on) != 0) {
        return ::WSAGetLastError();
    }
    connected = socket.Release();
    return 0;
}

}  // namespace

std::string CSocket::Connect(const std::string& host, std::uint16_t port,
                             std::chrono::milliseconds limit) {
    Close();
    if (std::string failed = StartWinsock(); !failed.empty()) return failed;
    const auto deadline = Clock::now() + limit;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int lookup =
            ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        lookup != 0) {
        return "cannot find the host " + host + ": " + NetworkMessage(lookup);
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
    std::string failure;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        SOCKET connected = INVALID_SOCKET;
        if (const int error = ConnectOne(*address, deadline, connected); error != 0) {
            failure = ConnectFailed(host, port, error, limit);
            if (Clock::now() >= deadline) break;
            continue;
        }
        COwnedSocket socket(connected);
        UniqueHandle readable(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!readable.IsValid() ||
            ::WSAEventSelect(socket.Get(), readable.Get(), FD_READ | FD_CLOSE) != 0) {
            return "cannot watch the connection to " + host + ": " +
                   NetworkMessage(readable.IsValid() ? ::WSAGetLastError()
                                                     : static_cast<int>(::GetLastError()));
        }
        m_Socket.socket = static_cast<std::uintptr_t>(socket.Release());
        m_Socket.readable = std::move(readable);
        return {};
    }
    return failure;
}

void CSocket::Close() {
    if (m_Socket.IsValid()) ::closesocket(Native(m_Socket));
    m_Socket.socket = SocketHandle::kNone;
    m_Socket.readable.Reset();
}

NativePort CSocket::Watched() const {
    return {nullptr, m_Socket.readable.Get()};
}

std::size_t CSocket::Send(const std::uint8_t* bytes, std::size_t count,
                          std::optional<Clock::time_point> deadline, std::string& failure) {
    std::size_t sent = 0;
    while (sent < count && IsOpen()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(count - sent, 1 << 20));
        const int n =
            ::send(Native(m_Socket), reinterpret_cast<const char*>(bytes + sent), chunk, 0);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        const int error = n == 0 ? WSAECONNRESET : ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            failure = NetworkMessage(error);
            break;
        }
        if (!Select(Native(m_Socket), Await::Writable, deadline)) {
            failure = "the server took nothing more in time";
            break;
        }
    }
    return sent;
}

std::size_t CSocket::Receive(std::uint8_t* buffer, std::size_t size, std::string& failure) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const int n = ::recv(Native(m_Socket), reinterpret_cast<char*>(buffer), chunk, 0);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n == 0) {
        failure = "the server closed the connection";
    } else if (const int error = ::WSAGetLastError(); error != WSAEWOULDBLOCK) {
        failure = NetworkMessage(error);
    }
    return 0;
}

bool CSocket::WaitReadable(Clock::time_point deadline) const {
    return Select(Native(m_Socket), Await::Readable, deadline);
}

std::string CSocket::ProbeClosed() const {
    if (!Select(Native(m_Socket), Await::Readable, Clock::now())) return {};
    char byte = 0;
    const int n = ::recv(Native(m_Socket), &byte, 1, MSG_PEEK);
    if (n == 0) return "the server closed the connection";
    const int error = n < 0 ? ::WSAGetLastError() : 0;
    return error != 0 && error != WSAEWOULDBLOCK ? NetworkMessage(error) : std::string();
}

}  // namespace keltrove
