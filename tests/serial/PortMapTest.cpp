// The COM map: the order of its places, the trust rule, and what a name maps to.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FarEnd.h"
#include "PortMap.h"

namespace keltrove {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Three maps, a /dev and a /sys/class/tty of the test's own.
class PortMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/keltrove-map-XXXXXX";
        m_Root = ::mkdtemp(pattern);
        for (const char* dir : {"env", "user", "system", "dev", "sys/ttyS3", "sys/ttyS4"}) {
            fs::create_directories(m_Root / dir);
            fs::permissions(m_Root / dir, fs::perms::owner_all);
        }
        m_Places.maps = {{PortPlace::Environment, (m_Root / "env").string()},
                         {PortPlace::User, (m_Root / "user").string()},
                         {PortPlace::System, (m_Root / "system").string()}};
        m_Places.devDir = (m_Root / "dev").string();
        m_Places.sysClassTty = (m_Root / "sys").string();
        for (const char* device : {"a", "b", "c", "ttyS3", "ttyS4"}) {
            std::ofstream(m_Root / "dev" / device).put('\n');
        }
        std::ofstream(m_Root / "sys/ttyS3/type") << "4\n";  // a 16550A
        std::ofstream(m_Root / "sys/ttyS4/type") << "0\n";  // no UART behind it
    }
    void TearDown() override { fs::remove_all(m_Root); }

    void Link(const char* map, const char* name, const fs::path& target) {
        fs::create_symlink(target, m_Root / map / name);
    }
    std::string Device(const char* name) { return (m_Root / "dev" / name).string(); }
    PortMapping Map(std::string_view name) { return MapPort(name, m_Places); }

    fs::path m_Root;
    PortPlaces m_Places;
};

TEST_F(PortMapTest, TheFirstPlaceThatHasTheNameWinsThenTheBuiltInPort) {
    Link("env", "COM1", Device("a"));
    Link("user", "COM1", Device("b"));
    Link("user", "COM2", Device("b"));
    Link("system", "COM3", Device("c"));
    Link("user", "COM7", "RFC2217://panel-server:4001");  // a network port's name is its device
    // While $KELTROVE_PORT_DIR is set it is the only map: a test's port never falls through.
    EXPECT_EQ(Map("COM1").device, Device("a"));
    EXPECT_THAT(Map("COM4").problem, HasSubstr("COM4 is not mapped in $KELTROVE_PORT_DIR"));
    EXPECT_EQ(Map("COM4").device, "");
    m_Places.maps.erase(m_Places.maps.begin());
    const std::tuple<const char*, PortPlace, std::string> rows[] = {
        {"COM1", PortPlace::User, Device("b")},
        {"COM2", PortPlace::User, Device("b")},
        {"COM3", PortPlace::System, Device("c")},
        {"COM4", PortPlace::BuiltIn, Device("ttyS3")},
        {"COM7", PortPlace::User, "rfc2217://panel-server:4001"},
    };
    for (const auto& [name, place, device] : rows) {
        const PortMapping mapping = Map(name);
        EXPECT_EQ(mapping.place, place) << name;
        EXPECT_EQ(mapping.device, device) << name;
        EXPECT_EQ(mapping.problem, "") << name;
    }
    EXPECT_EQ(DescribeMapping(Map("COM2")),
              "COM2 → " + (m_Root / "user/COM2").string() + " → " + Device("b") + " (your map)");
    EXPECT_EQ(DescribeMapping(Map("COM7")), "COM7 → " + (m_Root / "user/COM7").string() +
                                                " → RFC2217://panel-server:4001 → "
                                                "rfc2217://panel-server:4001 (your map)");
    // A ttyS with no UART, or none at all, is no port; the message says how to map one.
    EXPECT_THAT(Map("COM5").problem, HasSubstr("no serial port stands behind " + Device("ttyS4")));
    EXPECT_THAT(Map("COM6").problem, HasSubstr("does not exist. To use an adapter as COM6: "
                                               "keltrove-cli map COM6 /dev/ttyUSB0"));
}

TEST_F(PortMapTest, AMapOthersMayChangeMapsNothing) {
    const PortPlaces all = m_Places;
    m_Places.maps.erase(m_Places.maps.begin());  // no $KELTROVE_PORT_DIR, at first
    Link("user", "COM2", Device("b"));
    Link("system", "COM2", Device("c"));
    fs::permissions(m_Root / "user", fs::perms::group_write, fs::perm_options::add);
    const PortMapping refused = Map("COM2");
    EXPECT_EQ(refused.device, "");  // neither the system's map nor a built-in port
    EXPECT_EQ(DescribeMapping(refused), "COM2 (your map)");  // no empty link in the chain
    EXPECT_EQ(refused.problem, "the port map " + (m_Root / "user").string() +
                                   " (your map) may be changed by its group (chmod go-w " +
                                   (m_Root / "user").string() +
                                   "), so it was ignored and maps "
                                   "nothing");
    fs::permissions(m_Root / "user", fs::perms::group_write, fs::perm_options::remove);
    m_Places = all;

    // A map that is itself a link is refused as well: it could be pointed anywhere.
    fs::rename(m_Root / "env", m_Root / "env.real");
    fs::create_directory_symlink(m_Root / "env.real", m_Root / "env");
    EXPECT_THAT(Map("COM2").problem, HasSubstr("was ignored: it is a symbolic link"));
    fs::remove(m_Root / "env");

    // So is a $KELTROVE_PORT_DIR that is missing or no directory, mistyped perhaps: COM4 is
    // not quietly the built-in /dev/ttyS3 then.
    const std::string named =
        "the port map " + (m_Root / "env").string() + " ($KELTROVE_PORT_DIR) ";
    EXPECT_THAT(Map("COM4").problem, HasSubstr(named + "does not exist: set KELTROVE_PORT_DIR"));
    std::ofstream(m_Root / "env") << "COM4\n";
    EXPECT_THAT(Map("COM4").problem, HasSubstr(named + "is not a directory"));
    EXPECT_EQ(Map("COM4").device, "");
    fs::remove(m_Root / "env");
    fs::rename(m_Root / "env.real", m_Root / "env");

    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a map to another user";
    ASSERT_EQ(::chown((m_Root / "env").c_str(), 4242, 4242), 0);
    EXPECT_THAT(Map("COM2").problem, HasSubstr("("
                                               "$KELTROVE_PORT_DIR) belongs to another user"));
    ASSERT_EQ(::chown((m_Root / "env").c_str(), 0, 0), 0);
    m_Places.maps.erase(m_Places.maps.begin());
    ASSERT_EQ(::chown((m_Root / "system").c_str(), 4242, 4242), 0);
    Link("system", "COM3", Device("c"));
    EXPECT_THAT(Map("COM3").problem, HasSubstr("(the system's map) does not belong to root"));
}

// The map is checked on the descriptor through which the entry is opened: swapping the
// directory after the check leads nowhere.
TEST_F(PortMapTest, SwappingTheMapAfterTheCheckChangesNothing) {
    Link("env", "COM1", Device("a"));
    const PortMapping mapping = Map("COM1");
    ASSERT_EQ(mapping.problem, "");
    fs::rename(m_Root / "env", m_Root / "env.checked");
    fs::create_directory(m_Root / "env");
    Link("env", "COM1", Device("b"));  // the attacker's
    char real[PATH_MAX] = {};
    ASSERT_NE(::realpath(mapping.OpenPath().c_str(), real), nullptr);
    EXPECT_EQ(std::string(real), Device("a"));
}

TEST_F(PortMapTest, BrokenLinksLoopsAndEndedSimulatorsSayWhatTheyAre) {
    Link("env", "COM1", m_Root / "dev/gone");
    Link("env", "COM2", m_Root / "env/COM2");
    Link("env", "COM3", Device("a"));
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    std::ofstream(m_Root / "env/.COM3.lock") << ended << "\n";

    EXPECT_THAT(Map("COM1").problem, HasSubstr("is a broken link"));
    EXPECT_THAT(Map("COM2").problem, HasSubstr("a symbolic link leads round in a loop"));
    EXPECT_EQ(Map("COM3").problem, "COM3's simulator has ended (pid " + std::to_string(ended) +
                                       "); start keltrove-device again, or remove " +
                                       (m_Root / "env/COM3").string());
    EXPECT_EQ(Map("COM3").device, "");
}

TEST(SerialPortCheck, OnlyTerminalDevicesAreSerialPorts) {
    EXPECT_EQ(NotASerialPort(test::CFarEnd().SlavePath()), "");
    EXPECT_EQ(NotASerialPort("/dev/null"),
              "/dev/null is not a serial port: it is a device of the mem driver");
    EXPECT_EQ(NotASerialPort("/tmp"), "/tmp is not a serial port: it is a directory");
    EXPECT_EQ(NotASerialPort("/nonexistent/ttyUSB9"), "");  // said elsewhere
}

}  // namespace
}  // namespace keltrove
