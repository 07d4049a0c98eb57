#include "Ser2Net.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <stdexcept>

#include "UniqueFd.h"

namespace keltrove::test {

std::uint16_t FreeLocalPort() {
    const UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    return ntohs(address.sin_port);
}

CSer2Net::CSer2Net(const std::string& rfc2217Device, const std::string& rawDevice,
                   const std::string& dir) {
    const std::string rfc2217Port = std::to_string(FreeLocalPort());
    const std::string rawPort = std::to_string(FreeLocalPort());
    m_strRfc2217 = "rfc2217://127.0.0.1:" + rfc2217Port;
    m_strRaw = "tcp://127.0.0.1:" + rawPort;
    // The README shows this configuration.
    const std::string config = dir + "/ser2net.yaml";
    std::ofstream(config) << "%YAML 1.1\n---\n"
                          << "connection: &panel-rfc2217\n"
                          << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << rfc2217Port << "\n"
                          << "  connector: serialdev," << rfc2217Device << ",9600n81,local\n"
                          << "connection: &panel-raw\n"
                          << "  accepter: tcp,127.0.0.1," << rawPort << "\n"
                          << "  connector: serialdev," << rawDevice << ",9600n81,local\n";
    // -n: in the foreground; -u: no UUCP lock files, which are the tests' own business;
    // -r: "Ready" on standard output once the accepters listen.
    m_pProcess = std::make_unique<CChildProcess>(
        std::vector<std::string>{KELTROVE_SER2NET_BINARY, "-n", "-u", "-r", "-c", config},
        dir + "/ser2net.log");
    if (m_pProcess->WaitAnnounced("Ready").empty()) {
        throw std::runtime_error("ser2net (" KELTROVE_SER2NET_BINARY
                                 ") did not start; scripts/deps installs it: " +
                                 m_pProcess->Log());
    }
}

}  // namespace keltrove::test
