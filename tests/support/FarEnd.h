// FarEnd: a pseudo-terminal whose slave the program opens as its port while the test plays
// the device at the master. For the presenter's and the window's tests; failures throw.
#pragma once

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "TestIo.h"

namespace keltrove::test {

class CFarEnd {
public:
    CFarEnd() {
        char name[256] = {};
        if (::openpty(&m_nMaster, &m_nSlave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_strSlave = name;
    }
    ~CFarEnd() {
        HangUp();
        ::close(m_nSlave);
    }
    CFarEnd(const CFarEnd&) = delete;
    CFarEnd& operator=(const CFarEnd&) = delete;

    const std::string& SlavePath() const { return m_strSlave; }
    // Held open so that the pty lives until the program opens it, and for its settings.
    int SlaveFd() const { return m_nSlave; }

    void Send(const std::string& bytes) const {
        if (::write(m_nMaster, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
            throw std::runtime_error("the far end did not take the bytes");
        }
    }
    // `count` bytes the program sent; fewer only when the guard ran out.
    std::string Take(std::size_t count) const { return ReadBytes(m_nMaster, count); }
    // Nothing more has come from the program.
    bool Quiet() const {
        pollfd far{m_nMaster, POLLIN, 0};
        return ::poll(&far, 1, 0) == 0;
    }
    // The far end goes away, as a pulled adapter does.
    void HangUp() {
        if (m_nMaster != -1) ::close(m_nMaster);
        m_nMaster = -1;
    }

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    std::string m_strSlave;
};

}  // namespace keltrove::test
