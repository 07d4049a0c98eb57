// NetworkPortName: the names of network ports, rfc2217://HOST:PORT and tcp://HOST:PORT.
//
// A panel wired to a serial device server (ser2net, a terminal server) is reached through
// one TCP port of that server: with RFC 2217 (Telnet and its COM-PORT-OPTION, which also
// sets the server's line) or as raw TCP (a server port whose line is set up already). Such
// a name is taken wherever a port is, and a COM map entry may hold one. Pure; callable from
// any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keltrove {

enum class NetProtocol { Rfc2217, RawTcp };

struct NetworkPort {
    NetProtocol protocol = NetProtocol::Rfc2217;
    std::string host;  // a host name or an address; an IPv6 address without its brackets
    std::uint16_t port = 0;

    // "rfc2217://panel-server:4001": the scheme in small letters, an IPv6 address in brackets.
    std::string Name() const;
    // "panel-server:4001", the host in small letters: what two names of one server port share.
    std::string Endpoint() const;
    // "rfc2217_panel-server_4001": the name as part of a file name, on Linux and on Windows.
    std::string FileName() const;
    // "RFC 2217" or "raw TCP".
    std::string_view ProtocolName() const;
};

// True when `name` has the form of a network port's name ("scheme://..."), valid or not.
bool LooksLikeNetworkName(std::string_view name);

// The network port that `name` gives, in any case of its scheme; nothing for any other name.
// Then `problem`, when given, says why a name that looks like a network name is none
// ("rfc2217://host: a network port is rfc2217://HOST:PORT or tcp://HOST:PORT, ...").
std::optional<NetworkPort> ParseNetworkPortName(std::string_view name,
                                                std::string* problem = nullptr);

}  // namespace keltrove
