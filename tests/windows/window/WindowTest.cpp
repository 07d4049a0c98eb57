// keltrove.exe, the Windows window, under Wine on a private Xvfb display, driven with
// xdotool.
//
// scripts/test-windows sets the scene: $WINEPREFIX has the window's settings (Wine draws its
// own frames, 굴림 is drawn with NanumGothic), $KELTROVE_WINE runs a Windows program and
// $KELTROVE_WINDOWS_BUILD holds the cross build. Optional: $KELTROVE_WINDOW_IDLE_SECONDS
// (2 unless set) and $KELTROVE_WINDOW_SCREENSHOT, a PNG to save the window into.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace keltrove::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// IDD_MAIN's size and the Exit button, in dialog units (src/app/win32/Keltrove.rc).
constexpr int kDialogCx = 557;
constexpr int kDialogCy = 385;
struct DluRect {
    int x, y, cx, cy;
};
constexpr DluRect kExitButton{392, 117, 48, 23};

// Without a window manager Wine draws the frame itself, so the X window is the whole
// window: with Wine's default theme a dialog frame is 3 px on every side and the caption
// takes 19 px more at the top.
constexpr int kFrame = 3;
constexpr int kCaption = 19;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string("$") + name + " is not set: run scripts/test-windows");
    }
    return value;
}

// Waits for `done` with a bound, for what only shows from outside (an X window, an exit).
template <class Condition>
bool PollUntil(Condition done, Clock::duration bound) {
    const auto end = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A child process, its output in `log`; killed and reaped at the end if still running.
class CChild {
public:
    CChild(std::vector<std::string> argv, const fs::path& log, int passFd = -1) {
        std::vector<char*> args;
        for (std::string& arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (passFd >= 0) posix_spawn_file_actions_adddup2(&actions, passFd, 3);  // clears CLOEXEC
        const int failed = ::posix_spawnp(&m_Pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
    }
    ~CChild() {
        if (m_Code) return;
        ::kill(m_Pid, SIGTERM);
        if (!WaitExit(5s)) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
        }
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    // Its exit code (128 + signal when killed) once it has ended within `bound`.
    std::optional<int> WaitExit(Clock::duration bound) {
        PollUntil([this] { return Ended(); }, bound);
        return m_Code;
    }
    bool Ended() {
        int status = 0;
        if (!m_Code && ::waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
            m_Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return m_Code.has_value();
    }

    // User plus system time so far, from /proc/<pid>/stat (fields 14 and 15).
    std::chrono::microseconds Cpu() const {
        std::ifstream stat("/proc/" + std::to_string(m_Pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string skip;
        for (int index = 3; index < 14; ++index) fields >> skip;
        long long user = 0;
        long long system = 0;
        fields >> user >> system;
        return std::chrono::microseconds((user + system) * 1'000'000 / ::sysconf(_SC_CLK_TCK));
    }
    long ResidentKiB() const {
        std::ifstream status("/proc/" + std::to_string(m_Pid) + "/status");
        for (std::string key; status >> key;) {
            long value = 0;
            if (key == "VmRSS:" && status >> value) return value;
        }
        return -1;
    }

private:
    pid_t m_Pid = -1;
    std::optional<int> m_Code;
};

// Standard output of a shell command, its errors dropped.
std::string Capture(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        ::popen(("{ " + command + "; } 2>/dev/null").c_str(), "r"), ::pclose);
    std::string out;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) out += buffer;
    return out;
}

std::string ReadAll(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

int ShellField(const std::string& text, const std::string& name) {
    const auto at = text.find(name + "=");
    return at == std::string::npos ? -1 : std::stoi(text.substr(at + name.size() + 1));
}

int MulDiv(int number, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(number) * numerator / denominator));
}

// Base units of the dialog font, derived from the client size as the dialog was made.
struct BaseUnits {
    int x;
    int y;
    // The centre of `rect` in the X window, where MapDialogRect puts it.
    std::pair<int, int> Centre(const DluRect& rect) const {
        return {kFrame + (MulDiv(rect.x, x, 4) + MulDiv(rect.x + rect.cx, x, 4)) / 2,
                kFrame + kCaption + (MulDiv(rect.y, y, 8) + MulDiv(rect.y + rect.cy, y, 8)) / 2};
    }
};

class KeltroveWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/keltrove-window-XXXXXX";
        s_Dir = ::mkdtemp(pattern);
        // Xvfb picks a free display and writes its number to fd 3 once it accepts clients.
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        s_pXvfb = std::make_unique<CChild>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0",
                                     "1280x1024x24"},
            s_Dir / "xvfb.log", ready[1]);
        ::close(ready[1]);
        // The whole line: Xvfb ends when the pipe closes before it has written it.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        while (c != '\n') {
            if (::poll(&wait, 1, 10'000) != 1 || ::read(ready[0], &c, 1) != 1) {
                throw std::runtime_error("Xvfb did not start: " + ReadAll(s_Dir / "xvfb.log"));
            }
            number += c;
        }
        ::close(ready[0]);
        ::setenv("DISPLAY", (":" + std::to_string(std::stoi(number))).c_str(), 1);
    }
    static void TearDownTestSuite() {
        s_pXvfb.reset();
        fs::remove_all(s_Dir);
    }

    // Starts keltrove.exe and waits for its main window to show.
    void Start() {
        const std::string exe = Env("KELTROVE_WINDOWS_BUILD") + "/src/app/win32/keltrove.exe";
        const auto start = Clock::now();
        m_pProgram = std::make_unique<CChild>(std::vector<std::string>{Env("KELTROVE_WINE"), exe},
                                              s_Dir / "keltrove.log");
        PollUntil(
            [this] {
                m_strWindow = Capture("xdotool search --onlyvisible --name '^Keltrove$' | head -1");
                return !m_strWindow.empty() || m_pProgram->Ended();
            },
            30s);
        const auto startUp = Clock::now() - start;
        ASSERT_FALSE(m_strWindow.empty())
            << "no window; exit code " << m_pProgram->WaitExit(0s).value_or(-1) << "\n"
            << ReadAll(s_Dir / "keltrove.log");
        m_strWindow.pop_back();  // the newline
        std::cout << "[ figures  ] window shown " << Ms(startUp) << " ms after the start\n";
        // No window manager gives it the focus, and keys go where the focus is.
        Capture("xdotool windowfocus --sync " + m_strWindow);
    }

    std::pair<int, int> ClientSize() const {
        const std::string geometry = Capture("xdotool getwindowgeometry --shell " + m_strWindow);
        return {ShellField(geometry, "WIDTH") - 2 * kFrame,
                ShellField(geometry, "HEIGHT") - 2 * kFrame - kCaption};
    }

    static BaseUnits UnitsOf(std::pair<int, int> client) {
        return {static_cast<int>(std::lround(4.0 * client.first / kDialogCx)),
                static_cast<int>(std::lround(8.0 * client.second / kDialogCy))};
    }

    // Gives the window `input` (an xdotool command) and expects it to end with exit code 0.
    void ExpectEndsWithZeroOn(const std::string& input) {
        const auto start = Clock::now();
        Capture("xdotool " + input);
        EXPECT_EQ(m_pProgram->WaitExit(5s), std::optional<int>(0));
        std::cout << "[ figures  ] ended " << Ms(Clock::now() - start) << " ms after the input\n";
    }

    static long long Ms(Clock::duration duration) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    }

    static inline fs::path s_Dir;
    static inline std::unique_ptr<CChild> s_pXvfb;
    std::unique_ptr<CChild> m_pProgram;
    std::string m_strWindow;
};

TEST_F(KeltroveWindow, OpensAtItsTemplateSizeIdlesAndEndsOnEscape) {
    ASSERT_NO_FATAL_FAILURE(Start());

    // The client area is the template's 557 × 385 units at whole base units of a font of
    // about the dialog font's proportions.
    const auto client = ClientSize();
    const BaseUnits units = UnitsOf(client);
    EXPECT_EQ(client.first, MulDiv(kDialogCx, units.x, 4)) << "base unit " << units.x;
    EXPECT_EQ(client.second, MulDiv(kDialogCy, units.y, 8)) << "base unit " << units.y;
    EXPECT_GE(units.x, 4);
    EXPECT_TRUE(units.y >= units.x * 3 / 2 && units.y <= units.x * 5 / 2)
        << units.x << " × " << units.y;

    const char* secondsText = std::getenv("KELTROVE_WINDOW_IDLE_SECONDS");
    const auto idle = std::chrono::seconds(secondsText ? std::atoi(secondsText) : 2);
    const auto cpuBefore = m_pProgram->Cpu();
    std::this_thread::sleep_for(idle);  // the measurement itself, not a wait for anything
    const auto cpu = m_pProgram->Cpu() - cpuBefore;
    std::cout << "[ figures  ] client " << client.first << " × " << client.second
              << " px, base units " << units.x << " × " << units.y << "; resident "
              << m_pProgram->ResidentKiB() / 1024 << " MiB; CPU " << cpu.count() / 1000
              << " ms over " << idle.count() << " s idle\n";
    // Under a tenth of a core: what is left of the start-up passes, a loop that spins does not.
    EXPECT_LT(cpu, std::chrono::microseconds(idle) / 10) << "busy while idle";

    if (const char* png = std::getenv("KELTROVE_WINDOW_SCREENSHOT")) {
        EXPECT_EQ(std::system(("import -window " + m_strWindow + " '" + png + "'").c_str()), 0);
    }

    ExpectEndsWithZeroOn("key Escape");
}

TEST_F(KeltroveWindow, ExitButtonEndsIt) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const auto [x, y] = UnitsOf(ClientSize()).Centre(kExitButton);
    ExpectEndsWithZeroOn("mousemove --window " + m_strWindow + " " + std::to_string(x) + " " +
                         std::to_string(y) + " click 1");
}

}  // namespace
}  // namespace keltrove::test
