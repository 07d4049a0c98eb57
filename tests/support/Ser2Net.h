// Ser2Net: a real serial device server for the network ports' tests and benchmark: ser2net
// as a child process, with an RFC 2217 accepter and a raw TCP accepter on free ports of
// 127.0.0.1, each connected to a device (a simulator's COMn link) at 9600 8N1 with the modem
// lines ignored. It ends with the object, or with this process. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "SimulatorProcess.h"

namespace keltrove::test {

class CSer2Net {
public:
    // Starts ser2net with its configuration and log in `dir`, once it says it is ready;
    // throws std::runtime_error when it cannot.
    CSer2Net(const std::string& rfc2217Device, const std::string& rawDevice,
             const std::string& dir);

    const std::string& Rfc2217() const { return m_strRfc2217; }  // rfc2217://127.0.0.1:PORT
    const std::string& Raw() const { return m_strRaw; }          // tcp://127.0.0.1:PORT
    // Ends it (SIGTERM, SIGKILL after the guard): its exit code, as CChildProcess::Stop.
    int Stop() { return m_pProcess->Stop(); }

private:
    std::string m_strRfc2217;
    std::string m_strRaw;
    std::unique_ptr<CChildProcess> m_pProcess;
};

// A TCP port of 127.0.0.1 on which nothing listens now.
std::uint16_t FreeLocalPort();

}  // namespace keltrove::test
