// The network ports' names, and the Telnet/RFC 2217 client alone: bytes in, bytes out.
#include <gtest/gtest.h>

#include "ComNames.h"
#include "Rfc2217.h"

namespace keltrove {
namespace {

using namespace telnet;
using Bytes = std::vector<std::uint8_t>;

TEST(NetworkPortName, NamesAreReadNormalisedAndTurnedIntoFileNames) {
    const auto port = ParseNetworkPortName("RFC2217://Panel-Server:4001");
    ASSERT_TRUE(port);
    EXPECT_EQ(port->Name(), "rfc2217://Panel-Server:4001");
    EXPECT_EQ(port->Endpoint(), "panel-server:4001");
    EXPECT_EQ(port->FileName(), "rfc2217_Panel-Server_4001");
    const auto raw = ParseNetworkPortName("tcp://[fe80::1%eth0]:23");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->protocol, NetProtocol::RawTcp);
    EXPECT_EQ(raw->Name(), "tcp://[fe80::1%eth0]:23");
    EXPECT_EQ(raw->FileName(), "tcp__fe80__1_eth0__23");
    for (const char* wrong :
         {"rfc2217://host", "rfc2217://host:0", "rfc2217://host:65536", "tcp://:4001",
          "tcp://fe80::1:23", "rfc2217://h:4001/x", "ssh://h:22"}) {
        EXPECT_FALSE(ParseNetworkPortName(wrong)) << wrong;
        EXPECT_NE(PortNameProblem(wrong), "") << wrong;
    }
    EXPECT_EQ(PortNameProblem("tcp://10.0.0.5:4001"), "");
    EXPECT_FALSE(ParseNetworkPortName("/dev/ttyUSB0"));
}

// What ser2net sends first, and a client that takes binary mode and COM-PORT-OPTION, turns
// ECHO down and then sets the line.
Bytes Ser2NetOpening() {
    return {kIac, kWill, kSuppressGoAhead,
            kIac, kDo,   kSuppressGoAhead,
            kIac, kWill, kEcho,
            kIac, kDont, kEcho,
            kIac, kDo,   kBinary,
            kIac, kWill, kBinary,
            kIac, kDo,   kComPortOption};
}

Bytes Answer(std::uint8_t command, Bytes value) {
    value.insert(value.begin(),
                 {kIac, kSb, kComPortOption, static_cast<std::uint8_t>(command + 100)});
    value.push_back(kIac);
    value.push_back(kSe);
    return value;
}

Bytes LineAnswers(Bytes baud) {
    Bytes wire = Answer(comport::kSetBaudRate, std::move(baud));
    for (std::uint8_t command : {comport::kSetDataSize, comport::kSetParity, comport::kSetStopSize,
                                 comport::kSetControl}) {
        const Bytes answer =
            Answer(command, {command == comport::kSetDataSize ? std::uint8_t{8} : std::uint8_t{1}});
        wire.insert(wire.end(), answer.begin(), answer.end());
    }
    return wire;
}

TEST(Rfc2217Client, NegotiatesBinaryAndComPortThenSetsTheLineAndChecksEachAnswer) {
    CRfc2217Client client(9600);
    EXPECT_EQ(client.Begin(),
              (Bytes{kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kComPortOption}));
    Bytes data;
    Bytes replies;
    client.Receive(Ser2NetOpening(), data, replies);
    const Bytes expected{
        kIac, kDo, kSuppressGoAhead, kIac, kWill, kSuppressGoAhead, kIac, kDont, kEcho,
        // 9600 baud, 8 data bits, no parity, one stop bit, no flow control
        kIac, kSb, kComPortOption, 1, 0x00, 0x00, 0x25, 0x80, kIac, kSe, kIac, kSb, kComPortOption,
        2, 8, kIac, kSe, kIac, kSb, kComPortOption, 3, 1, kIac, kSe, kIac, kSb, kComPortOption, 4,
        1, kIac, kSe, kIac, kSb, kComPortOption, 5, 1, kIac, kSe};
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(client.State(), CRfc2217Client::Stage::Negotiating);
    EXPECT_EQ(client.Awaited(), "the answers to the line settings");
    // Answered one byte at a time, with a notification and a repeated WILL among them.
    Bytes answers = LineAnswers({0x00, 0x00, 0x25, 0x80});
    const Bytes between{kIac, kSb, kComPortOption, 107, 0x30, kIac, kSe, kIac, kWill, kBinary};
    answers.insert(answers.begin() + 10, between.begin(), between.end());
    replies.clear();
    for (const std::uint8_t byte : answers) client.Receive(Bytes{byte}, data, replies);
    EXPECT_EQ(client.State(), CRfc2217Client::Stage::Ready) << client.Failure();
    EXPECT_TRUE(replies.empty()) << "no answer to what is agreed already";
    EXPECT_TRUE(data.empty());
}

TEST(Rfc2217Client, AServerThatWillNotTakeTheLineOrTheOptionFails) {
    CRfc2217Client slow(9600);
    Bytes data;
    Bytes replies;
    slow.Begin();
    slow.Receive(Ser2NetOpening(), data, replies);
    slow.Receive(LineAnswers({0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}), data, replies);  // 65535
    EXPECT_EQ(slow.State(), CRfc2217Client::Stage::Failed);
    EXPECT_EQ(slow.Failure(),
              "the server would not set its line to 9600 baud, 8 data bits, no parity, 1 stop "
              "bit, no flow control: it answered 65535 baud");

    CRfc2217Client refused(9600);
    refused.Begin();
    refused.Receive(Bytes{kIac, kDont, kComPortOption, kIac, kDo, kBinary, kIac, kWill, kBinary},
                    data, replies);
    EXPECT_EQ(refused.State(), CRfc2217Client::Stage::Failed);
    EXPECT_EQ(refused.Failure().rfind("the server does not take RFC 2217's COM-PORT-OPTION", 0),
              0u);

    CRfc2217Client silent(9600);
    silent.Begin();
    EXPECT_EQ(silent.Awaited(),
              "binary mode from the server, binary mode to the server, COM-PORT-OPTION");
}

// 0xFF is doubled going out and undoubled coming in, also when a piece ends between the two.
TEST(Rfc2217Client, IacIsDoubledBothWaysAndOtherOptionsAreRefusedOnce) {
    Bytes wire;
    CRfc2217Client::Escape(Bytes{0x01, 0xFF, 0x0D, 0xFF, 0xFF}, wire);
    EXPECT_EQ(wire, (Bytes{0x01, 0xFF, 0xFF, 0x0D, 0xFF, 0xFF, 0xFF, 0xFF}));

    CRfc2217Client client(9600);
    client.Begin();
    Bytes data;
    Bytes replies;
    client.Receive(Bytes{0x01, 0xFF}, data, replies);
    client.Receive(Bytes{0xFF, 0x0D, kIac, kDo, 24, kIac, 241, 0x00, 0xFF}, data, replies);
    client.Receive(Bytes{0xFF}, data, replies);
    EXPECT_EQ(data, (Bytes{0x01, 0xFF, 0x0D, 0x00, 0xFF}));
    EXPECT_EQ(replies, (Bytes{kIac, kWont, 24}));
}

}  // namespace
}  // namespace keltrove
