// keltrove-cli.exe and the Win32 serial link under Wine, against the real simulator.
//
// Each case plugs a fresh simulator in as COM5 (WineScene.h); the network case reaches its
// simulators through ser2net instead, by name and as COM7 through the user's map, and opens no COM
// port.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "DeviceTable.h"
#include "ProgramRun.h"
#include "Ser2Net.h"
#include "SimulatorProcess.h"
#include "TableFile.h"
#include "WineScene.h"

namespace keltrove::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kMissingPort = "COM8";  // mapped to a link that is never made

std::string DefaultTableFile() {
    return FormatTableFile(device::DefaultTableTexts());
}

// Waits, on inotify's word rather than by polling, until the file `path` holds `text`;
// false when the guard runs out first.
bool WaitForText(const fs::path& path, const std::string& text) {
    const int notify = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(notify, path.parent_path().c_str(), IN_MODIFY | IN_CREATE);
    const auto guard = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
    bool found = false;
    while (!found && std::chrono::steady_clock::now() < guard) {
        std::ostringstream held;
        held << std::ifstream(path).rdbuf();
        found = held.str().find(text) != std::string::npos;
        pollfd changed{notify, POLLIN, 0};
        if (!found && ::poll(&changed, 1, kGuardMs) > 0) {
            char events[4096];
            [[maybe_unused]] const ssize_t taken = ::read(notify, events, sizeof events);
        }
    }
    ::close(notify);
    return found;
}

class UnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        m_strWine = Env("KELTROVE_WINE");
        m_Build = Env("KELTROVE_WINDOWS_BUILD");
        m_Ports = Env("KELTROVE_WINE_PORTS");
        char pattern[] = "/tmp/keltrove-wine-XXXXXX";
        m_Dir = ::mkdtemp(pattern);
        for (const char* com : {kPort, kMissingPort}) fs::remove(m_Ports / com);
    }
    void TearDown() override {
        if (m_pDevice) {
            EXPECT_EQ(m_pDevice->Stop(), 0) << m_pDevice->Log();
        }
        m_pDevice.reset();
        fs::remove_all(m_Dir);
    }

    void Device(std::vector<std::string> options = {}) {
        PlugGuarded(m_pDevice, std::move(options), m_Dir);
    }

    std::vector<std::string> Wine(const std::string& program, std::vector<std::string> args) {
        args.insert(args.begin(), {m_strWine, (m_Build / program).string()});
        return args;
    }

    // Wine reads a program's command line through the locale: UTF-8, as on a desktop.
    Outcome Cli(std::vector<std::string> args) {
        return RunProgram(Wine("src/cli/keltrove-cli.exe", std::move(args)), m_Dir.string(),
                          {"LC_ALL=C.UTF-8"});
    }
    Outcome SerialTests(const std::string& filter) {
        return RunProgram(Wine("tests/serial/serial_tests.exe", {"--gtest_filter=" + filter}),
                          m_Dir.string(), GuardEnv());
    }

    std::string m_strWine;
    fs::path m_Build;
    fs::path m_Ports;
    fs::path m_Dir;
    std::unique_ptr<CSimulatorProcess> m_pDevice;
};

TEST_F(UnderWine, SerialLinkHangUpAndCycles) {
    Device({"--hangup-after", "12"});
    const Outcome run = SerialTests("SimulatorPort.HangUp*:SimulatorPort.SecondOpen*");
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("[  PASSED  ] 1 test"));  // the other skips under Wine
}

TEST_F(UnderWine, CliReadsPacedAndBurstAndReplacesTheOutputFile) {
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, std::vector<std::string>{"--burst"}}) {
        Device(mode);
        const fs::path table = m_Dir / "table.txt";
        std::ofstream(table) << "# an earlier backup\n";
        const Outcome run = Cli({"read", "-p", kPort, "-o", WindowsPath(table)});
        EXPECT_EQ(run.code, 0) << run.err;
        std::ostringstream saved;
        saved << std::ifstream(table).rdbuf();
        const TableParse read = ParseTableFile(saved.str());
        ASSERT_TRUE(read.table) << run.err;
        EXPECT_EQ(FormatTableFile(*read.table), DefaultTableFile());
        EXPECT_EQ(m_pDevice->Stop(), 0);
        m_pDevice.reset();
    }
}

TEST_F(UnderWine, CliWriteVerifyRoundTrips) {
    Device();
    std::string text = DefaultTableFile();
    text.replace(text.find("\n5 0105\n"), 8, "\n5 77\n");
    const fs::path table = m_Dir / "table.txt";
    std::ofstream(table) << text;
    const Outcome run = Cli({"write", "--verify", "-p", kPort, WindowsPath(table)});
    EXPECT_EQ(run.code, 0) << run.err << m_pDevice->Log();
    EXPECT_THAT(m_pDevice->Log(), HasSubstr("write end: 32 entries stored"));
}

TEST_F(UnderWine, CliFailuresHaveTheirExitCodes) {
    Outcome run = Cli({"read", "-p", kMissingPort});
    EXPECT_EQ(run.code, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr(kMissingPort));

    // A device name as a table file is refused before anything opens it. (COM7 leads to a
    // link of the tests' own folder, in case it were opened.)
    run = Cli({"diff", "COM7", "nul.txt"});
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("COM7: is a device, not a file"));

    // Not every name Windows opens is a port: NUL would be taken, AUX would be COM1.
    run = Cli({"read", "-p", "NUL"});
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("NUL is not a serial port: port names are COM1 to COM256"));
    run = Cli({"read", "-p", kPort, "-p", std::string("\\\\.\\") + kPort, "-o", "{port}.txt"});
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("name one device (COM5)"));

    Device({"--silent"});
    run = Cli({"read", "-p", kPort});
    EXPECT_EQ(run.code, 4) << run.err;
}

// What Windows users have: folders and files named in any script, adapters from COM10 up,
// and Notepad's "Unicode" tables.
TEST_F(UnderWine, CliTakesUnicodeNamesHighComNumbersAndSaysWhatAUtf16TableIs) {
    Device();
    const fs::path folder = m_Dir / "café";
    fs::create_directory(folder);
    Outcome run = Cli({"read", "-p", kPort, "-o", WindowsPath(folder / "x.txt")});
    ASSERT_EQ(run.code, 0) << run.err;
    fs::copy_file(folder / "x.txt", m_Dir / "表.txt");
    run = Cli({"diff", WindowsPath(m_Dir / "表.txt"), WindowsPath(folder / "x.txt")});
    EXPECT_EQ(run.code, 0) << run.err;

    std::string utf16 = "\xFF\xFE";
    for (const char c : DefaultTableFile()) utf16 += std::string{c, '\0'};
    std::ofstream(m_Dir / "unicode.txt", std::ios::binary) << utf16;
    run = Cli({"diff", WindowsPath(m_Dir / "unicode.txt"), WindowsPath(folder / "x.txt")});
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("UTF-16 text (Notepad's \"Unicode\"), not a table file; "
                                   "save it as UTF-8"));
    EXPECT_THAT(run.err, Not(HasSubstr("\\x00"))) << "one line, not a line of escapes a byte";

    // COM12, by name: the prefix's com12 leads to the simulator's link in the tests' folder.
    const fs::path com12 = fs::path(Env("WINEPREFIX")) / "dosdevices" / "com12";
    fs::remove(com12);
    fs::create_symlink(m_Ports / kPort, com12);
    run = Cli({"read", "-p", "com12"});
    fs::remove(com12);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\n32 0132\n"));
}

// --wait finds a port that comes while it waits; the station serves a panel.
TEST_F(UnderWine, CliWaitsForAPortAndTheStationServesAPanel) {
    {
        // The simulator plugs in elsewhere, and the test links COM5 to its line once the
        // command waits: the port is the simulator by construction, and the guard's own open
        // cannot meet the command's.
        for (const char* sub : {"elsewhere", "cli"}) fs::create_directory(m_Dir / sub);
        fs::permissions(m_Dir / "elsewhere", fs::perms::owner_all);
        CSimulatorProcess device(
            {"--port-dir", (m_Dir / "elsewhere").string(), "--as", kPort, "--baud", kGuardBaud},
            (m_Dir / "elsewhere.log").string());
        const std::string pty = device.WaitPlugged();
        ASSERT_FALSE(pty.empty());
        CProgramRun cli(Wine("src/cli/keltrove-cli.exe", {"read", "-p", kPort, "--wait", "20"}),
                        (m_Dir / "cli").string());
        ASSERT_TRUE(WaitForText(m_Dir / "cli/err", "waiting up to 20 s for the port to open"));
        fs::create_symlink(pty, m_Ports / kPort);
        const Outcome run = cli.Finish();
        fs::remove(m_Ports / kPort);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_THAT(run.out, HasSubstr("\n32 0132\n"));
        EXPECT_EQ(device.Stop(), 0);
    }
    Device();
    std::string text = DefaultTableFile();
    text.replace(text.find("\n5 0105\n"), 8, "\n5 77\n");
    const fs::path table = m_Dir / "table.txt";
    std::ofstream(table) << text;
    const Outcome run = Cli({"--json", "station", "-p", kPort, WindowsPath(table), "--count", "1",
                             "--log", WindowsPath(m_Dir / "log.jsonl")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\"result\":\"written\""));
    EXPECT_THAT(run.out, HasSubstr("\"served\":1,\"written\":1,"));
    EXPECT_THAT(m_pDevice->Log(), HasSubstr("write end: 32 entries stored"));
    std::ostringstream log;
    log << std::ifstream(m_Dir / "log.jsonl").rdbuf();
    EXPECT_THAT(log.str(), HasSubstr("\"port\":\"COM5\""));
}

TEST_F(UnderWine, CliHangUpMidReadEndsWithoutSpinning) {
    Device({"--hangup-after", "12"});
    CProgramRun cli(Wine("src/cli/keltrove-cli.exe", {"read", "-p", kPort}), m_Dir.string());
    // The simulator plugs a new line in once it has hung up the old one.
    ASSERT_FALSE(m_pDevice->WaitPlugged().empty()) << m_pDevice->Log();
    const auto atHangUp = cli.CpuSoFar();
    const auto start = std::chrono::steady_clock::now();
    const Outcome run = cli.Finish();
    const auto after = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr(kPort));
    // Under 10 % of a core over the second after the hang-up, or over what was left of it.
    EXPECT_LT(run.cpu - atHangUp,
              std::max<std::chrono::microseconds>(
                  100ms, std::chrono::duration_cast<std::chrono::microseconds>(after) / 10));
}

// keltrove-cli.exe through ser2net on both kinds of accepter: Winsock and WSAEventSelect;
// then as COM7 through the user's map, in the prefix's HKCU. (COM7 of the prefix leads to a
// link of the tests' own folder, should the map be passed over.)
TEST_F(UnderWine, CliReadsWritesAndVerifiesThroughSer2NetAlsoAsAMappedPort) {
    std::vector<std::unique_ptr<CSimulatorProcess>> devices;
    for (const char* com : {"COM1", "COM2"}) {
        devices.push_back(std::make_unique<CSimulatorProcess>(
            std::vector<std::string>{"--port-dir", m_Dir.string(), "--as", com},
            (m_Dir / com).string() + ".log"));
        ASSERT_FALSE(devices.back()->WaitPlugged().empty());
    }
    const CSer2Net server((m_Dir / "COM1").string(), (m_Dir / "COM2").string(), m_Dir.string());
    std::string text = DefaultTableFile();
    text.replace(text.find("\n7 0107\n"), 8, "\n7 ÿ\\x0D1ÿ\n");
    std::ofstream(m_Dir / "table.txt") << text;
    for (const std::string& port : {server.Rfc2217(), server.Raw()}) {
        Outcome run = Cli({"write", "-p", port, WindowsPath(m_Dir / "table.txt")});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Cli({"verify", "-p", port, WindowsPath(m_Dir / "table.txt")}).code, 0);
        run = Cli({"read", "-p", port});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_THAT(run.out, HasSubstr("\n7 ÿ\\x0D1ÿ\n"));
    }

    // No ASSERT from here on: the last step removes the entry, which would outlive the test.
    const std::string entry = "HKEY_CURRENT_USER\\Software\\Keltrove\\Ports\\COM7";
    Outcome run = Cli({"map", "com7", server.Rfc2217()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("COM7 → " + server.Rfc2217() + " (" + entry + ")"));
    const std::string tcpPort = server.Rfc2217().substr(server.Rfc2217().rfind(':') + 1);
    EXPECT_THAT(Cli({"ports"}).out,
                HasSubstr("COM7 → " + server.Rfc2217() +
                          " (your map)\n    network port: RFC 2217, host 127.0.0.1, TCP port " +
                          tcpPort + "\n"));
    run = Cli({"read", "-p", "COM7"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("# read from COM7 (" + server.Rfc2217() + ") at "));
    // A value that is no text is refused, not taken as the system's COM7.
    const Outcome dword = RunProgram({m_strWine, "reg", "add", "HKCU\\Software\\Keltrove\\Ports",
                                      "/v", "COM7", "/t", "REG_DWORD", "/d", "1", "/f"},
                                     m_Dir.string());
    EXPECT_EQ(dword.code, 0) << dword.err;
    run = Cli({"read", "-p", "COM7"});
    EXPECT_EQ(run.code, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr(entry + " is a REG_DWORD value, not text (REG_SZ), so it was "
                                           "ignored and COM7 does not open: remove it with "
                                           "keltrove-cli unmap COM7"));
    run = Cli({"unmap", "COM7"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("COM7 removed from your map (" + entry + ")"));
    EXPECT_THAT(Cli({"ports"}).out, Not(HasSubstr("(your map)")));
}

}  // namespace
}  // namespace keltrove::test
