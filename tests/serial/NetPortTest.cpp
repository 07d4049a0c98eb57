// A network port behind CSerialLink, against a server of the test's own on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeServer.h"
#include "PtyPair.h"
#include "Rfc2217.h"
#include "Ser2Net.h"

namespace keltrove::test {
namespace {

using namespace telnet;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kTag = 7;

// A frame whose value holds ÿ (0xFF) and CR, which binary mode leaves alone.
const Bytes kFrame{0x01, 0x30, 0x05, 0xFF, 0x0D, 0xFF, 0x31, 0x03};

TEST(NetPort, BytesGoBothWaysWithIacDoubledAndAServerThatClosesIsAHangUp) {
    const int fds = CountEntries("/proc/self/fd");
    CFakeServer server;
    RecordingEvents events;
    CSerialLink link(&events);
    ASSERT_EQ(link.Open(server.Url(), 9600, kTag), 1) << link.LastError();
    ASSERT_TRUE(server.Negotiated());
    EXPECT_EQ(link.DevicePath(), server.Url());

    EXPECT_EQ(link.Write(kFrame.data(), 8), 8u);
    EXPECT_EQ(server.Take(10), (Bytes{0x01, 0x30, 0x05, 0xFF, 0xFF, 0x0D, 0xFF, 0xFF, 0x31, 0x03}));
    // A report, with a notification and an option the client does not use among its bytes.
    server.Send({0x01, 0x50, kIac, kIac, kIac, kSb, kComPortOption, 107, 0x30, kIac, kSe, 0x0D,
                 kIac, kDo, 24, kIac, kIac, 0x31, 0x03});
    ASSERT_TRUE(events.WaitFor([&](const LinkRecords&) { return link.ReceivedCount() == 7; }));
    Bytes received(7);
    link.TakeReceived(received.data(), 7);
    EXPECT_EQ(received, (Bytes{0x01, 0x50, 0xFF, 0x0D, 0xFF, 0x31, 0x03}));
    EXPECT_EQ(server.Take(3), (Bytes{kIac, kWont, 24}));

    server.Drop();
    ASSERT_TRUE(events.WaitFor([](const LinkRecords& records) { return !records.lost.empty(); }));
    EXPECT_FALSE(link.IsWatching());
    EXPECT_EQ(link.LostReason(), server.Url() + ": the server closed the connection");
    EXPECT_EQ(link.Write(kFrame.data(), 8), 0u) << "nothing goes into a closed connection";
    link.Close();
    const LinkRecords records = events.Snapshot();
    EXPECT_EQ(records.lost, (std::vector<std::pair<std::uint16_t, std::string>>{
                                {kTag, server.Url() + ": the server closed the connection"}}));
    EXPECT_EQ(records.order.back(), 'l');
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds + 1) << "the server's listener only";
}

TEST(NetPort, OpenFailuresSayWhyNamingHostAndPortAndLeaveNothingOpen) {
    const int fds = CountEntries("/proc/self/fd");
    CSerialLink link;
    {
        CFakeServer server(4800);
        EXPECT_EQ(link.Open(server.Url(), 9600, kTag), 0);
        EXPECT_EQ(link.LastError(), server.Url() +
                                        ": the server would not set its line to 9600 baud, 8 data "
                                        "bits, no parity, 1 stop bit, no flow control: it "
                                        "answered 4800 baud");
    }
    const std::string closed = std::to_string(FreeLocalPort());
    EXPECT_EQ(link.Open("rfc2217://127.0.0.1:" + closed, 9600, kTag), 0);
    EXPECT_THAT(link.LastError(), HasSubstr("127.0.0.1 refused the connection on port " + closed));
    EXPECT_FALSE(link.IsOpen());

    // A full queue leaves the next connection unanswered, as a host that is off does; a queue
    // with room takes it, but nothing there speaks RFC 2217.
    std::uint16_t full = 0;
    std::uint16_t mute = 0;
    const UniqueFd unanswered = ListenLocal(0, full);
    const UniqueFd speechless = ListenLocal(1, mute);
    CNetPort filler;
    EXPECT_EQ(filler.Open({NetProtocol::RawTcp, "127.0.0.1", full}, 9600, "x"), "");
    CNetPort port;
    EXPECT_EQ(port.Open({NetProtocol::Rfc2217, "127.0.0.1", full}, 9600, "COM3", 200ms),
              "COM3: no answer from 127.0.0.1 on port " + std::to_string(full) +
                  " within 0.2 s; check that the server is on and reachable, and its address "
                  "and port");
    EXPECT_EQ(port.Open({NetProtocol::Rfc2217, "127.0.0.1", mute}, 9600, "COM3", 200ms),
              "COM3: the server did not finish the RFC 2217 negotiation within 0.2 s (it has not "
              "given binary mode from the server, binary mode to the server, COM-PORT-OPTION); "
              "if it is a raw TCP port, give it as tcp://HOST:PORT");
    EXPECT_FALSE(port.IsOpen());
    filler.Close();
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds + 2) << "the two listeners only";
}

}  // namespace
}  // namespace keltrove::test
