#include "NetworkPortName.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace keltrove {

namespace {

constexpr std::string_view kSeparator = "://";

struct Scheme {
    std::string_view name;
    NetProtocol protocol;
};
constexpr std::array<Scheme, 2> kSchemes{
    {{"rfc2217", NetProtocol::Rfc2217}, {"tcp", NetProtocol::RawTcp}}};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

// Inside brackets: an IPv6 address, with a zone after % ("fe80::1%eth0").
bool IsIpv6Character(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.' || c == '%' ||
           IsHostCharacter(c);
}

// The TCP port in `digits`, 1 to 65535; 0 when it is none.
std::uint16_t PortNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 || digits.front() == '0') return 0;
    unsigned value = 0;
    for (const char digit : digits) {
        if (digit < '0' || digit > '9') return 0;
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    return value <= 65535 ? static_cast<std::uint16_t>(value) : 0;
}

// Splits "HOST:PORT" or "[IPv6]:PORT"; false when it has neither form.
bool SplitHostPort(std::string_view rest, std::string& host, std::uint16_t& port) {
    std::string_view portText;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") return false;
        host = std::string(rest.substr(1, close - 1));
        portText = rest.substr(close + 2);
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsIpv6Character)) return false;
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) return false;
        host = std::string(rest.substr(0, colon));
        portText = rest.substr(colon + 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostCharacter)) return false;
    }
    port = PortNumber(portText);
    return port != 0;
}

}  // namespace

std::string NetworkPort::Name() const {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    const std::string_view scheme = protocol == NetProtocol::Rfc2217 ? "rfc2217" : "tcp";
    return std::string(scheme) + std::string(kSeparator) + shownHost + ":" + std::to_string(port);
}

std::string NetworkPort::Endpoint() const {
    const std::string lower = Lower(host);
    const std::string shownHost = lower.find(':') != std::string::npos ? "[" + lower + "]" : lower;
    return shownHost + ":" + std::to_string(port);
}

std::string NetworkPort::FileName() const {
    std::string name = Name();
    name.replace(name.find(kSeparator), kSeparator.size(), "_");
    // ':' is no file name character on Windows, and brackets and % are awkward in a shell.
    for (char& c : name) {
        if (!IsHostCharacter(c)) c = '_';
    }
    return name;
}

std::string_view NetworkPort::ProtocolName() const {
    return protocol == NetProtocol::Rfc2217 ? "RFC 2217" : "raw TCP";
}

bool LooksLikeNetworkName(std::string_view name) {
    const auto separator = name.find(kSeparator);
    if (separator == std::string_view::npos || separator == 0) return false;
    return std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(separator),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

std::optional<NetworkPort> ParseNetworkPortName(std::string_view name, std::string* problem) {
    if (!LooksLikeNetworkName(name)) return std::nullopt;
    const auto separator = name.find(kSeparator);
    const std::string scheme = Lower(name.substr(0, separator));
    const std::string_view rest = name.substr(separator + kSeparator.size());
    const auto known = std::find_if(kSchemes.begin(), kSchemes.end(), [&](const Scheme& candidate) {
        return candidate.name == scheme;
    });
    NetworkPort port;
    if (known != kSchemes.end() && SplitHostPort(rest, port.host, port.port)) {
        port.protocol = known->protocol;
        return port;
    }
    if (problem != nullptr) {
        *problem = std::string(name) +
                   (known == kSchemes.end() ? ": the network ports are " : ": a network port is ") +
                   "rfc2217://HOST:PORT or tcp://HOST:PORT, the TCP port a number from 1 to "
                   "65535 (an IPv6 address in brackets), such as rfc2217://192.168.1.20:4001";
    }
    return std::nullopt;
}

}  // namespace keltrove
