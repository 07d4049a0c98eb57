// keltrove.exe, the Windows window, under Wine on a private Xvfb display, driven with
// xdotool, against the real simulator plugged in as COM5 of the tests' Wine prefix.
//
// scripts/test-windows sets the scene, with a Wine server of its own (Wine's desktop keeps
// the display it started on): $WINEPREFIX has the window's settings (Wine draws its
// own frames, 굴림 is drawn with NanumGothic) and maps COM5 to a link in
// $KELTROVE_WINE_PORTS, $KELTROVE_WINE runs a Windows program and $KELTROVE_WINDOWS_BUILD
// holds the cross build. Each simulator runs its line at a speed no machine port has, and
// the Windows side refuses a port that does not report it. What the window did is read
// from outside: the simulator's frame log, the window's wire trace (KELTROVE_TRACE, which
// also names each box it shows), the files it saves, its X windows and its pixels.
// Optional: $KELTROVE_WINDOW_IDLE_SECONDS (2 unless set) and $KELTROVE_WINDOW_SCREENSHOT,
// a PNG to save the window into.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DeviceTable.h"
#include "DialogTemplate.h"
#include "ProgramRun.h"
#include "SimulatorProcess.h"
#include "TableFile.h"
#include "WindowLook.h"
#include "WineScene.h"

namespace keltrove::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Where the controls are, in dialog units, from the one description of the window.
DluRect Place(int id) {
    return FindControl(MainDialogTemplate(), id)->rect;
}
const DluRect kReadButton = Place(IDC_READ);
const DluRect kWriteButton = Place(IDC_WRITE);
const DluRect kExitButton = Place(IDC_EXIT);
const DluRect kPortList{Place(IDC_PORT_LIST).x, Place(IDC_PORT_LIST).y, Place(IDC_PORT_LIST).cx,
                        12};                         // closed: the template's height holds the list
const DluRect kEntry28 = Place(EntryControlId(28));  // the first field in tab order, then 27
constexpr DluRect kBlank{10, 10, 0, 0};              // no control: the window's own menu

// Without a window manager Wine draws the frame itself, so the X window is the whole
// window: with Wine's default theme a dialog frame is 3 px on every side and the caption
// takes 19 px more at the top.
constexpr int kFrame = 3;
constexpr int kCaption = 19;

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

// Its exit code once it has ended within `bound`.
std::optional<int> WaitExit(CProgramRun& program, Clock::duration bound) {
    if (!PollUntil([&program] { return program.Ended(); }, bound)) return std::nullopt;
    return program.Finish().code;
}

// Standard output of a shell command, its errors dropped.
std::string Capture(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        ::popen(("{ " + command + "; } 2>/dev/null").c_str(), "r"), ::pclose);
    std::string out;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) out += buffer;
    return out;
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

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class KeltroveWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/keltrove-window-XXXXXX";
        s_Dir = ::mkdtemp(pattern);
        // Xvfb picks a free display and writes its number to fd 3 once it accepts clients.
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        fs::create_directory(s_Dir / "xvfb");
        s_pXvfb = std::make_unique<CProgramRun>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0",
                                     "1280x1024x24"},
            (s_Dir / "xvfb").string(), std::vector<std::string>{}, ready[1]);
        ::close(ready[1]);
        // The whole line: Xvfb ends when the pipe closes before it has written it.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        while (c != '\n') {
            if (::poll(&wait, 1, 10'000) != 1 || ::read(ready[0], &c, 1) != 1) {
                throw std::runtime_error("Xvfb did not start: " + FileText(s_Dir / "xvfb/err"));
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

    void SetUp() override {
        m_Build = Env("KELTROVE_WINDOWS_BUILD");
        m_Ports = Env("KELTROVE_WINE_PORTS");
        m_Trace = s_Dir / "trace.txt";
        fs::remove(m_Trace);
        fs::remove(m_Ports / kPort);
    }
    void TearDown() override {
        m_pProgram.reset();
        if (m_pDevice) {
            EXPECT_EQ(m_pDevice->Stop(), 0) << m_pDevice->Log();
            m_pDevice.reset();
        }
    }

    // A fresh simulator as COM5 with `options`, checked from the Windows side.
    void Device(std::vector<std::string> options = {}) {
        PlugGuarded(m_pDevice, std::move(options), s_Dir);
    }

    // Starts keltrove.exe with its trace on and waits for its main window to show. Once in a
    // while, on a Wine server just started, the first program ends at once with code 1 and
    // not a word; that start is told and tried again, and a second such end fails the test.
    void Start() {
        std::string failures;
        for (int attempt = 0; attempt < 2 && m_strWindow.empty(); ++attempt) {
            const auto begun = Clock::now();
            StartProgram();
            if (!m_strWindow.empty()) break;
            const auto lasted = std::chrono::duration_cast<std::chrono::milliseconds>(
                Clock::now() - begun);
            failures += "no window after " + std::to_string(lasted.count()) + " ms; exit code " +
                        std::to_string(WaitExit(*m_pProgram, 0s).value_or(-1)) + "\n" +
                        FileText(s_Dir / "keltrove/out") + FileText(s_Dir / "keltrove/err") +
                        FileText(m_Trace);
        }
        ASSERT_FALSE(m_strWindow.empty()) << failures;
        if (!failures.empty()) std::cout << "[ note     ] started again after " << failures;
        // No window manager gives it the focus, and keys go where the focus is.
        Capture("xdotool windowfocus --sync " + m_strWindow);
        m_Units = UnitsOf(ClientSize());
    }

    // One start of keltrove.exe: m_strWindow names its main window once it shows, and stays
    // empty when the program ends first.
    void StartProgram() {
        const std::string exe = (m_Build / "src/app/win32/keltrove.exe").string();
        fs::create_directories(s_Dir / "keltrove");
        m_pProgram = std::make_unique<CProgramRun>(
            std::vector<std::string>{Env("KELTROVE_WINE"), exe}, (s_Dir / "keltrove").string(),
            // Wine's diagnostics say why, should no window come (no display, say).
            std::vector<std::string>{"KELTROVE_TRACE=" + WindowsPath(m_Trace),
                                     "WINEDEBUG=-all,err+winediag"});
        PollUntil(
            [this] {
                const std::vector<std::string> windows = Windows();
                if (!windows.empty()) m_strWindow = windows.front();
                return !windows.empty() || m_pProgram->Ended();
            },
            30s);
    }

    // The visible windows titled "Keltrove": the main window, then any box over it.
    static std::vector<std::string> Windows() {
        std::istringstream lines(Capture("xdotool search --onlyvisible --name '^Keltrove$'"));
        std::vector<std::string> windows;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty()) windows.push_back(line);
        }
        return windows;
    }
    static bool WaitWindows(std::size_t count, Clock::duration bound = 10s) {
        return PollUntil([count] { return Windows().size() == count; }, bound);
    }

    std::pair<int, int> ClientSize() const {
        const std::string geometry = Capture("xdotool getwindowgeometry --shell " + m_strWindow);
        return {ShellField(geometry, "WIDTH") - 2 * kFrame,
                ShellField(geometry, "HEIGHT") - 2 * kFrame - kCaption};
    }

    static BaseUnits UnitsOf(std::pair<int, int> client) {
        return {static_cast<int>(std::lround(4.0 * client.first / MAIN_CX)),
                static_cast<int>(std::lround(8.0 * client.second / MAIN_CY))};
    }

    // A click with `button` in the middle of a control placed as MapDialogRect places it.
    void Click(const DluRect& control, int button = 1) const {
        const auto [x, y] = m_Units.Centre(control);
        Capture("xdotool mousemove --window " + m_strWindow + " " + std::to_string(x) + " " +
                std::to_string(y) + " click " + std::to_string(button));
    }
    static void Keys(const std::string& keys) { Capture("xdotool key --delay 30 " + keys); }
    static void Type(const std::string& text) { Capture("xdotool type --delay 30 '" + text + "'"); }
    // Out of the way: a pointer resting on a themed control keeps Wine polling it.
    static void PointerAway() { Capture("xdotool mousemove 1270 1010"); }

    // Drops the port list down and picks COM5 by keyboard: from no choice, the sixth item.
    void ChooseComPort5() const {
        Click(kPortList);
        std::this_thread::sleep_for(300ms);  // the list drops down
        Keys("Down Down Down Down Down Down Return");
    }
    // One of the right-click menu's items, counted from its top.
    void Menu(int item) const {
        Click(kBlank, 3);
        // The menu is the program's one window without a name.
        ASSERT_TRUE(PollUntil(
            [] {
                return !Capture(
                            "for w in $(xdotool search --onlyvisible --class keltrove.exe); "
                            "do [ -z \"$(xdotool getwindowname $w)\" ] && echo $w; done")
                            .empty();
            },
            10s));
        std::string keys;
        for (int i = 0; i < item; ++i) keys += "Down ";
        Keys(keys + "Return");
    }

    std::string Trace() const { return FileText(m_Trace); }
    bool WaitTrace(const std::string& part, std::size_t count = 1) const {
        return PollUntil([&] { return Count(Trace(), part) >= count; }, 10s);
    }
    bool WaitDeviceLog(const std::string& part) const {
        return PollUntil([&] { return m_pDevice->Log().find(part) != std::string::npos; }, 10s);
    }

    // Yellow pixels in the status line's rectangle: a text is drawn there.
    long StatusPixels() const {
        // At Wine's 96 dpi, the status rectangle's pixels are the template's.
        const std::string crop = std::to_string(kStatusRect.right - kStatusRect.left) + "x" +
                                 std::to_string(kStatusRect.bottom - kStatusRect.top) + "+" +
                                 std::to_string(kFrame + kStatusRect.left) + "+" +
                                 std::to_string(kFrame + kCaption + kStatusRect.top);
        const std::string count = Capture("import -window " + m_strWindow + " -crop " + crop +
                                          " +repage -depth 8 txt:- | grep -ci '#FFFF00'");
        return count.empty() ? 0 : std::stol(count);
    }
    // A top-level window of that exact title shows.
    static bool Shows(const std::string& title) {
        return !Capture("xdotool search --onlyvisible --name '^" + title + "$'").empty();
    }

    // Gives the window `input` (an xdotool command) and expects it to end with exit code 0.
    void ExpectEndsWithZeroOn(const std::string& input) {
        // A box that closed may have taken the X focus with it: no window manager hands it on.
        Capture("xdotool windowfocus --sync " + m_strWindow);
        Capture("xdotool " + input);
        EXPECT_EQ(WaitExit(*m_pProgram, 5s), std::optional<int>(0));
    }

    static inline fs::path s_Dir;
    static inline std::unique_ptr<CProgramRun> s_pXvfb;
    fs::path m_Build;
    fs::path m_Ports;
    fs::path m_Trace;
    std::unique_ptr<CSimulatorProcess> m_pDevice;
    std::unique_ptr<CProgramRun> m_pProgram;
    std::string m_strWindow;
    BaseUnits m_Units{};
};

TEST_F(KeltroveWindow, OpensAtItsTemplateSizeIdlesAndEndsOnEscape) {
    ASSERT_NO_FATAL_FAILURE(Start());

    // The client area is the template's 557 × 385 units at whole base units of a font of
    // about the dialog font's proportions.
    const auto client = ClientSize();
    const BaseUnits units = UnitsOf(client);
    EXPECT_EQ(client.first, MulDiv(MAIN_CX, units.x, 4)) << "base unit " << units.x;
    EXPECT_EQ(client.second, MulDiv(MAIN_CY, units.y, 8)) << "base unit " << units.y;
    EXPECT_GE(units.x, 4);
    EXPECT_TRUE(units.y >= units.x * 3 / 2 && units.y <= units.x * 5 / 2)
        << units.x << " × " << units.y;

    PointerAway();
    const char* secondsText = std::getenv("KELTROVE_WINDOW_IDLE_SECONDS");
    const auto idle = std::chrono::seconds(secondsText ? std::atoi(secondsText) : 2);
    const auto cpuBefore = m_pProgram->CpuSoFar();
    std::this_thread::sleep_for(idle);  // the measurement itself, not a wait for anything
    const auto cpu = m_pProgram->CpuSoFar() - cpuBefore;
    std::cout << "[ figures  ] client " << client.first << " × " << client.second
              << " px, base units " << units.x << " × " << units.y << "; resident "
              << m_pProgram->ResidentKiB() / 1024 << " MiB; CPU " << cpu.count() / 1000
              << " ms over " << idle.count() << " s idle, no port\n";
    // Under a tenth of a core: what is left of the start-up passes, a loop that spins does not.
    EXPECT_LT(cpu, std::chrono::microseconds(idle) / 10) << "busy while idle";

    if (const char* png = std::getenv("KELTROVE_WINDOW_SCREENSHOT")) {
        EXPECT_EQ(std::system(("import -window " + m_strWindow + " '" + png + "'").c_str()), 0);
    }

    // Every field and the port list answer a screen reader. Wine 8's oleacc does not look
    // at the names the window gives them (IAccPropServices), so only the answer is checked.
    const Outcome names =
        RunProgram({Env("KELTROVE_WINE"),
                    (m_Build / "tests/windows/window/probe/accessible_names_probe.exe").string()},
                   s_Dir.string());
    ASSERT_EQ(names.code, 0) << names.err;
    EXPECT_EQ(Count(names.out, "\n"), std::size_t{kEntryCount + 1}) << names.out;
    EXPECT_EQ(Count(names.out, " ?"), 0u) << names.out;

    ExpectEndsWithZeroOn("key Escape");
}

// Read by keys, typing with Enter, Save, Write by keys with a click on Read meanwhile,
// Compare, and Escape, which leaves the port free.
TEST_F(KeltroveWindow, ReadsSavesWritesComparesAndLeavesThePortFree) {
    ASSERT_NO_FATAL_FAILURE(Device());
    ASSERT_NO_FATAL_FAILURE(Start());
    Keys("ctrl+5 ctrl+r");  // no mouse: the port by its key, then Read
    ASSERT_TRUE(WaitDeviceLog("report 32")) << m_pDevice->Log();
    ASSERT_TRUE(WaitTrace("COM5 rx 01 50 20 ")) << Trace();
    EXPECT_GT(StatusPixels(), 100) << "no status line";

    // Enter moves on as Tab does; the window stays.
    Click(kEntry28);
    Keys("Home shift+End");
    Type("ABCD");
    Keys("Return");
    Type("EFGH");  // the next field's text is selected, as Tab leaves it
    Keys("Return");
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(m_pProgram->Ended());
    EXPECT_EQ(Windows().size(), 1u);

    const fs::path saved = s_Dir / "saved.txt";
    fs::remove(saved);
    ASSERT_NO_FATAL_FAILURE(Menu(1));  // Save table as...
    ASSERT_TRUE(PollUntil([] { return Shows("Save table as"); }, 10s));
    Type(WindowsPath(saved));
    Keys("Return");
    ASSERT_TRUE(PollUntil([&] { return fs::exists(saved); }, 10s));
    const TableParse parsed = ParseTableFile(FileText(saved));
    ASSERT_TRUE(parsed.table) << FileText(saved);
    EntryTexts expected = device::DefaultTableTexts();
    expected[26] = "EFGH";
    expected[27] = "ABCD";
    EXPECT_EQ(*parsed.table, expected) << FileText(saved);

    // Ctrl+W, which closes windows elsewhere, writes nothing; Ctrl+Shift+W writes. A click
    // and a key for Read during the write are dropped, not replayed after it: the one read
    // request that follows is the write's read-back, which confirms it without a box.
    Keys("ctrl+w ctrl+shift+w");
    std::this_thread::sleep_for(1s);
    Click(kReadButton);
    Keys("ctrl+r");
    ASSERT_TRUE(WaitDeviceLog("write end: 32 entries stored")) << m_pDevice->Log();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Count(m_pDevice->Log(), "write begin"), 1u) << m_pDevice->Log();
    EXPECT_EQ(Count(m_pDevice->Log(), "read request"), 2u) << m_pDevice->Log();
    EXPECT_EQ(Count(Trace(), " box "), 0u) << Trace();
    EXPECT_GT(StatusPixels(), 100);

    ASSERT_NO_FATAL_FAILURE(Menu(3));  // Compare with panel: the panel took the write
    ASSERT_TRUE(WaitTrace("box All 32 entries match the panel.")) << Trace();
    ASSERT_TRUE(WaitWindows(2));
    Keys("Return");
    ASSERT_TRUE(WaitWindows(1));

    ExpectEndsWithZeroOn("key Escape");
    const Outcome cli =
        RunProgram({Env("KELTROVE_WINE"), (m_Build / "src/cli/keltrove-cli.exe").string(), "read",
                    "-p", kPort},
                   s_Dir.string());
    EXPECT_EQ(cli.code, 0) << cli.err;
}

// "DERID Not Connected": Escape answers No, so nothing more is sent. A write that the panel
// stores but never confirms gives one box. Exit ends the window.
TEST_F(KeltroveWindow, SilentPanelIsAskedAboutOnceAndExitEnds) {
    ASSERT_NO_FATAL_FAILURE(Device({"--silent"}));
    ASSERT_NO_FATAL_FAILURE(Start());
    ChooseComPort5();
    Click(kReadButton);
    ASSERT_TRUE(WaitWindows(2)) << Trace();
    EXPECT_TRUE(WaitTrace("COM5 box DERID Not Connected")) << Trace();
    Keys("Escape");
    EXPECT_TRUE(WaitWindows(1));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Count(m_pDevice->Log(), "read request"), 1u) << m_pDevice->Log();
    EXPECT_EQ(Windows().size(), 1u);

    Click(kWriteButton);  // "Write anyway?" about the entries the read left: Yes
    ASSERT_TRUE(WaitWindows(2)) << Trace();
    Keys("y");
    ASSERT_TRUE(WaitDeviceLog("write end: 32 entries stored")) << m_pDevice->Log();
    ASSERT_TRUE(WaitTrace("COM5 box DERID Not Connected", 2)) << Trace();
    Keys("Return");
    ASSERT_TRUE(WaitWindows(1));
    EXPECT_EQ(Count(Trace(), " box "), 3u) << Trace();
    const auto [x, y] = m_Units.Centre(kExitButton);
    ExpectEndsWithZeroOn("mousemove --window " + m_strWindow + " " + std::to_string(x) + " " +
                         std::to_string(y) + " click 1");
}

// The line drops after 11 of 32 reports: one box says so, nothing spins, the next line
// opens by itself, and a Write on it asks first, No being what Enter gives. Then the about
// box, and Alt+F4.
TEST_F(KeltroveWindow, HangUpMidReadIsOneBoxAndTheWriteAsksFirst) {
    // Unplugged after 12 frames, the adapter stays away for 3 s, then comes back.
    ASSERT_NO_FATAL_FAILURE(Device({"--replug-after", "12", "--away", "3000"}));
    ASSERT_NO_FATAL_FAILURE(Start());
    ChooseComPort5();
    Click(kReadButton);
    ASSERT_TRUE(WaitWindows(2)) << Trace();
    EXPECT_TRUE(WaitTrace("COM5 box Connection to COM5 lost")) << Trace();
    PointerAway();
    const auto cpuBefore = m_pProgram->CpuSoFar();
    std::this_thread::sleep_for(1s);
    const auto cpu = m_pProgram->CpuSoFar() - cpuBefore;
    std::cout << "[ figures  ] CPU " << cpu.count() / 1000
              << " ms in the second after the hang-up, the port awaited\n";
    EXPECT_LT(cpu, 100ms) << "spinning after the hang-up";
    Keys("Return");
    ASSERT_TRUE(WaitWindows(1));
    EXPECT_EQ(Count(Trace(), " box "), 1u) << Trace();

    // The new line opens by itself (a poll once a second: Wine sends no WM_DEVICECHANGE),
    // and nothing is sent on it.
    ASSERT_FALSE(m_pDevice->WaitPlugged().empty()) << m_pDevice->Log();
    const auto opensSinceBack = [&] {
        const std::string log = m_pDevice->Log();
        return Count(log.substr(log.rfind(" -> ")), "port opened");
    };
    ASSERT_TRUE(PollUntil([&] { return opensSinceBack() == 1; }, 10s)) << m_pDevice->Log();
    Click(kWriteButton);
    ASSERT_TRUE(WaitWindows(2)) << Trace();
    EXPECT_TRUE(WaitTrace("COM5 box Entries 12 to 32 were not read from the panel")) << Trace();
    Keys("Return");
    ASSERT_TRUE(WaitWindows(1));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Count(m_pDevice->Log(), "write begin"), 0u) << m_pDevice->Log();

    ASSERT_NO_FATAL_FAILURE(Menu(5));  // Keltrove 정보(&A)...
    ASSERT_TRUE(PollUntil([] { return Shows("Keltrove 정보"); }, 10s));
    Keys("Return");
    EXPECT_TRUE(PollUntil([] { return !Shows("Keltrove 정보"); }, 10s));

    ExpectEndsWithZeroOn("key alt+F4");
}

// A control of a template: its ID, its text (UTF-8) and its place, "1066 \"Read\" 392,44 48x22".
std::string Describe(int id, const std::string& text, const DluRect& rect) {
    return std::to_string(id) + " \"" + text + "\" " + std::to_string(rect.x) + "," +
           std::to_string(rect.y) + " " + std::to_string(rect.cx) + "x" + std::to_string(rect.cy);
}

// A decompiled string, "Read" or L"Keltrove \xbc84\xc804", as UTF-8.
std::string DecompiledText(const std::string& quoted) {
    std::string text;
    const auto utf8 = [&](unsigned code) {
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    };
    for (std::size_t i = quoted.find('"') + 1; i < quoted.rfind('"'); ++i) {
        if (quoted.compare(i, 2, "\\x") == 0) {
            utf8(static_cast<unsigned>(std::stoul(quoted.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else {
            utf8(static_cast<unsigned char>(quoted[i]));
        }
    }
    return text;
}

// The controls of dialog `id` in the decompiled resources, in template order:
// CONTROL text, id, class, style, x, y, cx, cy; COMBOBOX id, x, y, cx, cy, style; the
// others text, id, x, y, cx, cy, style. An icon's text is its resource's number.
std::vector<std::string> BuiltControls(const std::string& resources, int id) {
    std::istringstream lines(resources.substr(resources.find(std::to_string(id) + " DIALOGEX")));
    std::vector<std::string> controls;
    for (std::string line; std::getline(lines, line) && line != "END";) {
        if (line.rfind("  ", 0) != 0) continue;  // the dialog's own lines, and BEGIN
        std::istringstream fields(line);
        std::string keyword;
        fields >> keyword;
        std::vector<std::string> tokens;
        for (std::string token; std::getline(fields, token, ',');) tokens.push_back(token);
        if (keyword == "COMBOBOX") tokens.insert(tokens.begin(), "\"\"");
        const std::size_t place = keyword == "CONTROL" ? 4 : 2;
        const auto number = [&](std::size_t i) { return std::stoi(tokens.at(i), nullptr, 0); };
        const std::string& text = tokens.at(0);
        controls.push_back(
            Describe(number(1), text.find('"') == std::string::npos ? "" : DecompiledText(text),
                     {number(place), number(place + 1), number(place + 2), number(place + 3)}));
    }
    return controls;
}

// The template in the built keltrove.exe is the one description of the window, control by
// control, in its order.
TEST(BuiltWindow, HoldsTheTemplatesAsDescribed) {
    const std::string resources = Capture(
        "x86_64-w64-mingw32-windres -O rc -i '" +
        (fs::path(Env("KELTROVE_WINDOWS_BUILD")) / "src/app/win32/keltrove.exe").string() + "'");
    ASSERT_NE(resources.find("102 DIALOGEX 0, 0, " + std::to_string(MAIN_CX) + ", " +
                             std::to_string(MAIN_CY)),
              std::string::npos)
        << resources.substr(0, 200);
    for (const auto& [id, dialog] : {std::pair{IDD_MAIN, &MainDialogTemplate()},
                                     std::pair{IDD_ABOUT, &AboutDialogTemplate()}}) {
        std::vector<std::string> expected;
        for (const ControlTemplate& control : dialog->controls) {
            expected.push_back(Describe(control.id, std::string(control.text), control.rect));
        }
        EXPECT_EQ(BuiltControls(resources, id), expected) << "template " << id;
    }
}

}  // namespace
}  // namespace keltrove::test
