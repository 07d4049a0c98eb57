// keltrove-cli end to end: the real program, the real serial code and the real simulator,
// judged by exit codes, output and what the simulator saw on the line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "DeviceTable.h"
#include "ProgramRun.h"
#include "SimulatorProcess.h"
#include "TableFile.h"

namespace keltrove::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;


std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::string DefaultTableFile() {
    return FormatTableFile(device::DefaultTableTexts());
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/keltrove-cli-XXXXXX";
        m_Dir = ::mkdtemp(pattern);
        for (const char* dir : {"ports", "locks", "config"}) fs::create_directory(m_Dir / dir);
        fs::permissions(m_Dir / "ports", fs::perms::owner_all);
        ::setenv("KELTROVE_PORT_DIR", (m_Dir / "ports").c_str(), 1);
        ::setenv("KELTROVE_LOCK_DIR", (m_Dir / "locks").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_Dir / "config").c_str(), 1);
    }
    void TearDown() override {
        for (auto& device : m_Devices) EXPECT_EQ(device->Stop(), 0) << device->Log();
        m_Devices.clear();
        EXPECT_TRUE(fs::is_empty(m_Dir / "locks")) << "a lock file was left behind";
        fs::remove_all(m_Dir);
    }

    // keltrove-device as `com` with `options`; the pty it serves on.
    CSimulatorProcess& Device(const std::string& com, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--as", com});
        const std::string log = (m_Dir / (com + ".log")).string();
        m_Devices.push_back(std::make_unique<CSimulatorProcess>(std::move(options), log));
        EXPECT_FALSE(m_Devices.back()->WaitPlugged().empty());
        return *m_Devices.back();
    }

    Outcome Cli(const std::vector<std::string>& args) {
        std::vector<std::string> all{KELTROVE_CLI_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(std::move(all), m_Dir.string());
    }

    std::string File(const std::string& name, const std::string& text) {
        const fs::path path = m_Dir / name;
        std::ofstream(path) << text;
        return path.string();
    }

    fs::path m_Dir;
    std::vector<std::unique_ptr<CSimulatorProcess>> m_Devices;
};

TEST_F(CliTest, ReadBringsTheWholeTableInEveryAnswerMode) {
    const std::vector<std::vector<std::string>> modes{
        {}, {"--burst"}, {"--split", "--seed", "7"}, {"--noise", "--split", "--seed", "11"}};
    for (const auto& mode : modes) {
        CSimulatorProcess& device = Device("COM1", mode);
        const Outcome run = Cli({"read", "-p", "COM1"});
        EXPECT_EQ(run.code, 0) << run.err;
        const TableParse table = ParseTableFile(run.out);
        ASSERT_TRUE(table.table) << run.out;
        EXPECT_EQ(FormatTableFile(*table.table), DefaultTableFile());
        EXPECT_THAT(run.out, HasSubstr("# read from COM1 (/dev/pts/"));
        EXPECT_EQ(device.Stop(), 0);
        m_Devices.clear();
    }
}

TEST_F(CliTest, WriteVerifyRoundTripsAndVerifyCatchesAChange) {
    CSimulatorProcess& device = Device("COM1");
    std::string text = DefaultTableFile();
    text.replace(text.find("\n5 0105\n"), 8, "\n5 77\n");
    const std::string table = File("table.txt", text);
    Outcome run = Cli({"write", "-p", "COM1", table, "--verify"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(device.Log(), HasSubstr("write end: 32 entries stored"));

    const std::string changed = File("changed.txt", DefaultTableFile());
    run = Cli({"--json", "verify", "-p", "COM1", changed});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\"entry\": 5,\n          \"panel\": \"0077\",\n"
                                   "          \"file\": \"0105\""));
    run = Cli({"diff", table, changed});
    EXPECT_EQ(run.code, 1);
    EXPECT_THAT(run.out, HasSubstr("entry 5: "));
}

TEST_F(CliTest, EachFailureHasItsExitCodeAndSaysWhy) {
    CSimulatorProcess& device = Device("COM1", {"--silent"});
    const std::string saved = File("saved.txt", "# an earlier backup\n");
    Outcome run = Cli({"read", "-p", "COM1", "-o", saved});
    EXPECT_EQ(run.code, 4);
    EXPECT_THAT(run.err, HasSubstr("COM1 (/dev/pts/"));
    EXPECT_THAT(run.err, HasSubstr("): no answer (DERID Not Connected)"));
    EXPECT_EQ(ReadFile(saved), "# an earlier backup\n");  // a failed read leaves it whole

    fs::create_symlink(m_Dir / "gone", m_Dir / "ports/COM7");
    run = Cli({"read", "-p", "COM7"});
    EXPECT_EQ(run.code, 3);
    EXPECT_THAT(run.err, HasSubstr("COM7 → "));
    EXPECT_THAT(run.err, HasSubstr("is a broken link"));

    const std::string bad = File("bad.txt", "1 0101\n2 12345\n");
    run = Cli({"write", "-p", "COM1", bad});
    EXPECT_EQ(run.code, 2);
    EXPECT_THAT(run.err, HasSubstr("bad.txt:2: entry 2: the value \"12345\" is longer"));
    EXPECT_THAT(device.Log(), ::testing::Not(HasSubstr("write begin")));

    run = Cli({"read", "-p", "COM1", "-p", "COM7"});
    EXPECT_EQ(run.code, 2);  // several ports need -o with {port}
}

TEST_F(CliTest, AHangUpMidWriteIsADeviceFailure) {
    Device("COM1", {"--hangup-after", "3"});
    const Outcome run = Cli({"write", "-p", "COM1", File("table.txt", DefaultTableFile())});
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr("the write did not finish"));
}

TEST_F(CliTest, SeveralPortsAreServedSideBySide) {
    CSimulatorProcess& first = Device("COM1");
    CSimulatorProcess& second = Device("COM2");
    const std::string table = File("table.txt", DefaultTableFile());
    Outcome run = Cli({"write", "-p", "COM1", "-p", "COM2", table, "--verify"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(first.Log(), HasSubstr("write end: 32 entries stored"));
    EXPECT_THAT(second.Log(), HasSubstr("write end: 32 entries stored"));
    EXPECT_THAT(run.err, HasSubstr("COM2: written, and all 32 entries read back as written"));

    run = Cli({"read", "-p", "COM1", "-p", "COM2", "-o", (m_Dir / "backup-{port}.txt").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(ParseTableFile(ReadFile(m_Dir / "backup-COM2.txt")).table);
}

// `map` writes the user's own map, which lasts; `ports` says where each mapping came from.
TEST_F(CliTest, MapWritesALastingMapThatReadsUse) {
    CSimulatorProcess& device = Device("COM1");
    const std::string pty = fs::read_symlink(m_Dir / "ports/COM1").string();
    Outcome run = Cli({"map", "COM4", pty});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(fs::read_symlink(m_Dir / "config/keltrove/ports/COM4"), pty);
    run = Cli({"ports"});
    EXPECT_THAT(run.out, HasSubstr("COM4 → " + (m_Dir / "config/keltrove/ports/COM4").string() +
                                   " → " + pty + " (your map)"));
    run = Cli({"read", "-p", "COM4"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(device.Log(), HasSubstr("read request"));
    EXPECT_EQ(Cli({"unmap", "COM4"}).code, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_Dir / "config/keltrove/ports/COM4")));
}

}  // namespace
}  // namespace keltrove::test
