#include "Rfc2217.h"

#include <algorithm>

namespace keltrove {

namespace {

using namespace telnet;
using namespace comport;

// No COM-PORT-OPTION answer is longer; a longer subnegotiation is someone else's.
constexpr std::size_t kLongestSubnegotiation = 16;

bool IsLineCommand(std::uint8_t command) {
    return command >= kSetBaudRate && command <= kSetControl;
}

// One setting's value in words: "9600 baud", "no parity".
std::string SettingText(std::uint8_t command, std::uint32_t value) {
    const std::string number = std::to_string(value);
    switch (command) {
        case kSetBaudRate:
            return number + " baud";
        case kSetDataSize:
            return number + " data bits";
        case kSetParity: {
            constexpr const char* kParities[] = {
                "", "no parity", "odd parity", "even parity", "mark parity", "space parity"};
            return value >= 1 && value <= 5 ? kParities[value] : "parity " + number;
        }
        case kSetStopSize:
            return value == 1   ? "1 stop bit"
                   : value == 2 ? "2 stop bits"
                   : value == 3 ? "1.5 stop bits"
                                : "stop size " + number;
        default:
            return value == 1   ? "no flow control"
                   : value == 2 ? "XON/XOFF flow control"
                   : value == 3 ? "hardware flow control"
                                : "flow control " + number;
    }
}

void AppendVerb(std::vector<std::uint8_t>& wire, std::uint8_t verb, std::uint8_t option) {
    wire.push_back(kIac);
    wire.push_back(verb);
    wire.push_back(option);
}

}  // namespace

CRfc2217Client::CRfc2217Client(std::uint32_t baud) {
    m_Line[kSetBaudRate].asked = baud;
    m_Line[kSetDataSize].asked = kDataBits8;
    m_Line[kSetParity].asked = kParityNone;
    m_Line[kSetStopSize].asked = kStopBits1;
    m_Line[kSetControl].asked = kNoFlowControl;
}

std::vector<std::uint8_t> CRfc2217Client::Begin() {
    m_Us[kBinary] = Side::WantYes;
    m_Him[kBinary] = Side::WantYes;
    m_Us[kComPortOption] = Side::WantYes;
    return {kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kComPortOption};
}

void CRfc2217Client::Escape(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire) {
    for (const std::uint8_t byte : data) {
        wire.push_back(byte);
        if (byte == kIac) wire.push_back(kIac);
    }
}

void CRfc2217Client::Receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
                             std::vector<std::uint8_t>& replies) {
    for (const std::uint8_t byte : bytes) {
        switch (m_Parse) {
            case Parse::Data:
                if (byte == kIac) {
                    m_Parse = Parse::Iac;
                } else {
                    data.push_back(byte);
                }
                break;
            case Parse::Iac:
                m_Parse = Parse::Data;
                if (byte == kIac) {
                    data.push_back(kIac);
                } else if (byte >= kWill && byte <= kDont) {
                    m_nVerb = byte;
                    m_Parse = Parse::Verb;
                } else if (byte == kSb) {
                    m_Sub.clear();
                    m_Parse = Parse::Sub;
                }  // NOP, GA, DM and the rest carry nothing for a serial line
                break;
            case Parse::Verb:
                OnVerb(m_nVerb, byte, replies);
                m_Parse = Parse::Data;
                break;
            case Parse::Sub:
                if (byte == kIac) {
                    m_Parse = Parse::SubIac;
                } else if (m_Sub.size() < kLongestSubnegotiation) {
                    m_Sub.push_back(byte);
                }
                break;
            case Parse::SubIac:
                if (byte == kIac) {
                    if (m_Sub.size() < kLongestSubnegotiation) m_Sub.push_back(kIac);
                    m_Parse = Parse::Sub;
                } else {
                    // IAC SE ends it; anything else is malformed and ends it unread.
                    if (byte == kSe) OnSubnegotiation();
                    m_Parse = Parse::Data;
                }
                break;
        }
    }
    SetLineWhenAgreed(replies);
}

void CRfc2217Client::OnVerb(std::uint8_t verb, std::uint8_t option,
                            std::vector<std::uint8_t>& replies) {
    const bool server = verb == kWill || verb == kWont;
    Side& side = server ? m_Him[option] : m_Us[option];
    // This client takes binary mode both ways and suppressed go-aheads; it uses COM-PORT-OPTION.
    const bool accepted =
        option == kBinary || option == kSuppressGoAhead || (!server && option == kComPortOption);
    const bool enable = verb == kWill || verb == kDo;
    const std::uint8_t yes = server ? kDo : kWill;
    const std::uint8_t no = server ? kDont : kWont;
    if (enable) {
        if (side == Side::WantYes) {
            side = Side::Yes;
        } else if (side == Side::No) {
            side = accepted ? Side::Yes : Side::No;
            AppendVerb(replies, accepted ? yes : no, option);
        }
        return;
    }
    if (side == Side::No) return;
    if (side == Side::Yes) AppendVerb(replies, no, option);  // acknowledged, as RFC 1143 asks
    side = Side::No;
    if (option == kBinary) {
        Refuse(server ? "the server refused to send in binary mode, which a frame's bytes need"
                      : "the server refused binary mode for what is sent to it, which a frame's "
                        "bytes need");
    } else if (option == kComPortOption && !server) {
        Refuse(
            "the server does not take RFC 2217's COM-PORT-OPTION, so it cannot set its line; "
            "if its line is set to " +
            SettingText(kSetBaudRate, m_Line[kSetBaudRate].asked) +
            ", 8N1 already, give the port as tcp://HOST:PORT");
    }
}

void CRfc2217Client::SetLineWhenAgreed(std::vector<std::uint8_t>& replies) {
    if (m_bLineSent || m_Us[kComPortOption] != Side::Yes) return;
    m_bLineSent = true;
    for (std::uint8_t command = kSetBaudRate; command <= kSetControl; ++command) {
        const std::uint32_t value = m_Line[command].asked;
        std::vector<std::uint8_t> bytes;
        if (command == kSetBaudRate) {
            bytes = {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                     static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
        } else {
            bytes = {static_cast<std::uint8_t>(value)};
        }
        replies.insert(replies.end(), {kIac, kSb, kComPortOption, command});
        Escape(bytes, replies);
        replies.insert(replies.end(), {kIac, kSe});
    }
}

void CRfc2217Client::OnSubnegotiation() {
    if (m_Sub.size() < 2 || m_Sub.size() >= kLongestSubnegotiation) return;
    if (m_Sub[0] != kComPortOption || m_Sub[1] < kServerAnswer) return;
    const std::uint8_t command = static_cast<std::uint8_t>(m_Sub[1] - kServerAnswer);
    // Notifications of line and modem state and of flow control are not answers: ignored.
    if (IsLineCommand(command)) OnAnswer(command, std::span(m_Sub).subspan(2));
}

void CRfc2217Client::OnAnswer(std::uint8_t command, std::span<const std::uint8_t> value) {
    Setting& setting = m_Line[command];
    if (!m_bLineSent || setting.answered) return;  // only the first answer to what was asked
    const std::size_t length = command == kSetBaudRate ? 4 : 1;
    if (value.size() != length) {
        Refuse("the server answered the setting of " + SettingText(command, setting.asked) +
               " with " + std::to_string(value.size()) + " bytes, not " + std::to_string(length));
        return;
    }
    std::uint32_t answered = 0;
    for (const std::uint8_t byte : value) answered = answered << 8 | byte;
    setting.answered = answered;
    if (answered == setting.asked) return;
    std::string wanted;
    for (std::uint8_t each = kSetBaudRate; each <= kSetControl; ++each) {
        wanted += (wanted.empty() ? "" : ", ") + SettingText(each, m_Line[each].asked);
    }
    Refuse("the server would not set its line to " + wanted + ": it answered " +
           SettingText(command, answered));
}

void CRfc2217Client::Refuse(std::string why) {
    if (m_strFailure.empty()) m_strFailure = std::move(why);
}

CRfc2217Client::Stage CRfc2217Client::State() const {
    if (!m_strFailure.empty()) return Stage::Failed;
    const bool agreed = m_Us[kBinary] == Side::Yes && m_Him[kBinary] == Side::Yes &&
                        m_Us[kComPortOption] == Side::Yes;
    return agreed && LineAnswered() ? Stage::Ready : Stage::Negotiating;
}

bool CRfc2217Client::LineAnswered() const {
    return std::all_of(m_Line.begin() + kSetBaudRate, m_Line.end(),
                       [](const Setting& setting) { return setting.answered.has_value(); });
}

std::string CRfc2217Client::Awaited() const {
    std::string awaited;
    const auto add = [&](const char* what) {
        awaited += (awaited.empty() ? "" : ", ") + std::string(what);
    };
    if (m_Him[kBinary] != Side::Yes) add("binary mode from the server");
    if (m_Us[kBinary] != Side::Yes) add("binary mode to the server");
    if (m_Us[kComPortOption] != Side::Yes) {
        add("COM-PORT-OPTION");
    } else if (!LineAnswered()) {
        add("the answers to the line settings");
    }
    return awaited;
}

}  // namespace keltrove
