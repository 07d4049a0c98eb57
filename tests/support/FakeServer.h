// FakeServer: an RFC 2217 server of the test's own on 127.0.0.1, for what no real server
// does at will: answering a line setting otherwise, sending notifications and options among
// the data, dropping the connection. It takes one client. Its opening asks for binary mode
// both ways and COM-PORT-OPTION, and offers ECHO, which a client must refuse. A thread of
// its own answers the client's line settings; the test's thread takes over from
// Negotiated() on. Waits are bounded by kGuardMs; failures throw.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "UniqueFd.h"

namespace keltrove::test {

// A listening socket on a free port of 127.0.0.1 that nothing accepts from: once `backlog`
// connections wait, the next one goes unanswered, as a host that does not answer.
UniqueFd ListenLocal(int backlog, std::uint16_t& port);

class CFakeServer {
public:
    // Answers SET-BAUDRATE with `baudAnswer` and every other setting with what was asked.
    explicit CFakeServer(std::uint32_t baudAnswer = 9600);
    ~CFakeServer();
    CFakeServer(const CFakeServer&) = delete;
    CFakeServer& operator=(const CFakeServer&) = delete;

    const std::string& Url() const { return m_strUrl; }  // rfc2217://127.0.0.1:PORT
    // Waits until the five line settings are answered; false when that did not happen.
    bool Negotiated();
    // Sends `wire` as it is: the test escapes what it means as data.
    void Send(const std::vector<std::uint8_t>& wire) const;
    // The next `count` bytes the client sent, as they came; fewer only when the guard ran out.
    std::vector<std::uint8_t> Take(std::size_t count) const;
    // Closes the connection, as a server whose line has gone does.
    void Drop() { m_Client.Reset(); }

private:
    void Serve();
    bool SendNow(const std::vector<std::uint8_t>& wire) const;

    UniqueFd m_Listener;
    UniqueFd m_Client;
    std::uint32_t m_nBaudAnswer;
    std::string m_strUrl;
    bool m_bNegotiated = false;  // the thread's result, read after it is joined
    std::thread m_Thread;
};

}  // namespace keltrove::test
