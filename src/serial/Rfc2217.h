// Rfc2217: the client's side of Telnet (RFC 854, 855, 856) with RFC 2217's COM-PORT-OPTION,
// as a network port speaks it to a serial device server.
//
// The client asks for binary mode both ways (so that no byte of a frame is changed: CR stays
// CR) and offers COM-PORT-OPTION; once the server takes it, the client sets the server's line
// to the link's speed, 8 data bits, no parity, one stop bit and no flow control, and checks
// each answer. DTR, RTS and the other modem lines are left alone, as the serial port leaves
// them: a server whose line is a pty refuses modem control. Other options are refused,
// ECHO above all (an echo of our frames would come back as noise); the server's
// notifications (line and modem state, flow control) are ignored. In the data, IAC (0xFF)
// goes doubled both ways.
//
// Pure: bytes in, bytes out, no socket and no clock, so that each rule is tested alone. One
// thread at a time uses an object: CNetPort on the opening thread, then on the watcher's.
// Escape is static and runs on the writer's thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keltrove {

// Telnet's commands (RFC 854) and the options used here.
namespace telnet {
inline constexpr std::uint8_t kSe = 240;    // end of a subnegotiation
inline constexpr std::uint8_t kNop = 241;   // no operation
inline constexpr std::uint8_t kSb = 250;    // start of a subnegotiation
inline constexpr std::uint8_t kWill = 251;  // the sender will use an option
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kDo = 253;  // the sender asks the other side to use an option
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kIac = 255;  // "interpret as command"; doubled in data

inline constexpr std::uint8_t kBinary = 0;  // RFC 856: 8-bit data, CR unchanged
inline constexpr std::uint8_t kEcho = 1;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPortOption = 44;  // RFC 2217
}  // namespace telnet

// COM-PORT-OPTION's commands, as the client sends them; the server answers each with the
// command plus kServerAnswer and the value it has set.
namespace comport {
inline constexpr std::uint8_t kSetBaudRate = 1;  // four bytes, network order
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kServerAnswer = 100;

inline constexpr std::uint8_t kDataBits8 = 8;
inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kStopBits1 = 1;
inline constexpr std::uint8_t kNoFlowControl = 1;
}  // namespace comport

class CRfc2217Client {
public:
    enum class Stage { Negotiating, Ready, Failed };

    explicit CRfc2217Client(std::uint32_t baud);

    // What the client sends first: WILL and DO BINARY, WILL COM-PORT-OPTION.
    std::vector<std::uint8_t> Begin();

    // Takes bytes from the server, in any pieces: appends the data among them to `data` and
    // what the client must send in return (answers to the server's negotiation, and the line
    // settings once the server has taken COM-PORT-OPTION) to `replies`.
    void Receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& data,
                 std::vector<std::uint8_t>& replies);

    // Ready once binary mode holds both ways and the server has set the line as asked;
    // Failed as soon as it refuses one of them.
    Stage State() const;
    // Why it failed: "the server would not set the line to 9600 baud, ...: it set 4800
    // baud"; empty otherwise.
    const std::string& Failure() const { return m_strFailure; }
    // While negotiating: what has not come yet, in words ("binary mode from the server, the
    // answers to the line settings").
    std::string Awaited() const;

    // Appends `data` to `wire` with each IAC doubled.
    static void Escape(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire);

private:
    // RFC 1143's states of one side of one option, without the queue: this client never
    // asks for a change while one is under way.
    enum class Side : std::uint8_t { No, Yes, WantYes };
    enum class Parse : std::uint8_t { Data, Iac, Verb, Sub, SubIac };

    void OnVerb(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& replies);
    void OnSubnegotiation();
    void OnAnswer(std::uint8_t command, std::span<const std::uint8_t> value);
    void Refuse(std::string why);
    // Sends the line settings, once, when the server has taken COM-PORT-OPTION.
    void SetLineWhenAgreed(std::vector<std::uint8_t>& replies);
    // The server has answered every line setting.
    bool LineAnswered() const;

    struct Setting {
        std::uint32_t asked = 0;
        std::optional<std::uint32_t> answered;
    };
    // Indexed by command, kSetBaudRate to kSetControl.
    std::array<Setting, comport::kSetControl + 1> m_Line{};
    bool m_bLineSent = false;
    std::array<Side, 256> m_Us{};   // options this client uses
    std::array<Side, 256> m_Him{};  // options the server uses
    Parse m_Parse = Parse::Data;
    std::uint8_t m_nVerb = 0;
    std::vector<std::uint8_t> m_Sub;  // the subnegotiation being received, bounded
    std::string m_strFailure;
};

}  // namespace keltrove
