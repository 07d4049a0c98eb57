// bench_e2e: reads and writes from the real window to the real keltrove-device.
//
// Same set-up as the end-to-end tests: CMainDlg in this process (Qt's offscreen platform
// unless QT_QPA_PLATFORM says otherwise), keltrove-device as COM1 of a private port
// directory, the real serial code between them. Measures:
//   1. read: from the click on Read to "Reading is completed" drawn, with the device's
//      answer paced at 9600 baud, against the line time of the request and the 32 reports
//      (264 bytes, 10 bits each: 275 ms); for comparison also with --burst;
//   2. write: the click on Write to "Writing is Completed" drawn, with the real pauses and
//      the read-back that confirms it, against its floor: 3.4 s of pauses and the 0.2 s
//      quiet pause, plus the line time of its 34 frames (272 bytes: 283 ms) and of the
//      read-back (275 ms);
//   3. reports lost out of 32 per read with the device in --burst mode (must be 0).
// Usage: bench_e2e [paced reads] [writes] [burst reads]     (defaults 20, 3, 200)
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DeviceTable.h"
#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "ProtocolSession.h"
#include "SimulatorProcess.h"
#include "StatusLine.h"
#include "StatusWatch.h"

using namespace keltrove;
using namespace keltrove::test;

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr double kBaud = keltrove::kLineBaud;
constexpr double kBitsPerByte = 10;
constexpr int kReadBytes = 8 + kEntryCount * 8;     // request and 32 reports
constexpr int kWriteBytes = (kEntryCount + 2) * 8;  // begin, 32 entries, end
// 100 ms after write begin and after each entry, and 100 ms more before write end; then the
// quiet pause before the read-back.
constexpr double kWritePauses =
    (kEntryCount + 2) * 0.1 +
    std::chrono::duration<double>(keltrove::CProtocolSession::kQuietPause).count();

double LineTime(int bytes) {
    return bytes * kBitsPerByte / kBaud;
}

std::string CpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.starts_with("model name")) return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

// The device with `options` as COM1 and the window on it, COM1 chosen.
class CRig {
public:
    CRig(const CPortDir& portDir, std::vector<std::string> options, IPause* pause) {
        options.insert(options.begin(), {"--as", "COM1"});
        m_Device = std::make_unique<CSimulatorProcess>(
            std::move(options), portDir.File("device.log").string());
        if (m_Device->WaitPlugged().empty()) throw std::runtime_error("keltrove-device failed");
        m_Dlg = std::make_unique<CMainDlg>(pause, &m_Log);
        m_Dlg->show();
        if (!QTest::qWaitForWindowExposed(m_Dlg.get())) throw std::runtime_error("not exposed");
        ChoosePort(*m_Dlg, 1);
        if (!m_Dlg->Presenter().Comm().IsOpen()) throw std::runtime_error("COM1 did not open");
    }
    ~CRig() {
        m_Dlg.reset();
        m_Device->Stop();
    }

    // Clicks `button` and runs the event loop until the status changes to `text`. Returns
    // the time from the click to the moment `text` is drawn; empty when it never is.
    std::optional<double> ClickUntil(int button, SessionStatus status) {
        QEventLoop loop;
        std::optional<Clock::time_point> drawn;
        const QString wanted = StatusText(status);
        const CStatusWatch watch(*m_Dlg, [&](const QString& status) {
            if (status != wanted || drawn) return;
            drawn = Clock::now();
            loop.quit();
        });
        QTimer::singleShot(kGuardMs, &loop, &QEventLoop::quit);
        const Clock::time_point start = Clock::now();
        Button(*m_Dlg, button).click();
        if (!drawn) loop.exec();
        if (!drawn) return std::nullopt;
        return Seconds(*drawn - start).count();
    }

    const CMainDlg& Dlg() const { return *m_Dlg; }
    std::size_t Boxes() const { return m_Log.Texts().size(); }

private:
    std::unique_ptr<CSimulatorProcess> m_Device;
    CMessageLog m_Log;
    std::unique_ptr<CMainDlg> m_Dlg;
};

struct Sample {
    std::vector<double> seconds;
    int missed = 0;  // runs whose end never came

    void Add(std::optional<double> time) {
        if (time) {
            seconds.push_back(*time);
        } else {
            ++missed;
        }
    }
    double Median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n == 0 ? 0 : n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
};

void PrintRow(const char* name, const Sample& sample, double reference) {
    if (sample.seconds.empty()) {
        std::printf("%-34s %5s  no run completed\n", name, "0");
        return;
    }
    const auto [min, max] = std::minmax_element(sample.seconds.begin(), sample.seconds.end());
    std::printf("%-34s %5zu %10.1f %10.1f %10.1f", name, sample.seconds.size(), *min * 1e3,
                sample.Median() * 1e3, *max * 1e3);
    if (reference > 0) {
        std::printf(" %10.1f %8.3f", reference * 1e3, sample.Median() / reference);
    }
    if (sample.missed > 0) std::printf("   (%d runs never ended)", sample.missed);
    std::printf("\n");
}

int Arg(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int pacedReads = Arg(argc, argv, 1, 20);
    const int writes = Arg(argc, argv, 2, 3);
    const int burstReads = Arg(argc, argv, 3, 200);
    const CPortDir portDir;

    Sample paced;
    Sample write;
    std::size_t pacedBoxes = 0;
    {
        CRig rig(portDir, {}, nullptr);  // real pauses
        for (int i = 0; i < pacedReads; ++i)
            paced.Add(rig.ClickUntil(IDC_READ, SessionStatus::ReadDone));
        for (int i = 0; i < writes; ++i)
            write.Add(rig.ClickUntil(IDC_WRITE, SessionStatus::WriteDone));
        pacedBoxes = rig.Boxes();
    }

    Sample burst;
    long lost = 0;
    std::size_t burstBoxes = 0;
    {
        CRig rig(portDir, {"--burst"}, nullptr);
        for (int i = 0; i < burstReads; ++i) {
            burst.Add(rig.ClickUntil(IDC_READ, SessionStatus::ReadDone));
            EntryTexts texts;
            for (int entry = 1; entry <= kEntryCount; ++entry) {
                texts[EntryIndex(entry)] = Field(rig.Dlg(), entry).text().toLatin1().toStdString();
            }
            const EntryTexts expected = device::DefaultTableTexts();
            for (std::size_t i = 0; i < texts.size(); ++i) lost += texts[i] != expected[i] ? 1 : 0;
        }
        burstBoxes = rig.Boxes();
    }

    std::printf("bench_e2e on %u x %s, Qt %s, platform %s\n", std::thread::hardware_concurrency(),
                CpuModel().c_str(), qVersion(), qPrintable(QGuiApplication::platformName()));
    std::printf("%-34s %5s %10s %10s %10s %10s %8s\n", "measure", "runs", "min ms", "median ms",
                "max ms", "floor ms", "ratio");
    PrintRow("read, paced: click to completed", paced, LineTime(kReadBytes));
    PrintRow("read, burst: click to completed", burst, 0);
    PrintRow("write, real pauses: whole write", write,
             kWritePauses + LineTime(kWriteBytes) + LineTime(kReadBytes));  // and its read-back
    std::printf("burst reads: %ld of %ld reports lost (%d reads x %d)\n", lost,
                static_cast<long>(burstReads) * kEntryCount, burstReads, kEntryCount);
    std::printf("message boxes: %zu paced/write, %zu burst\n", pacedBoxes, burstBoxes);
    const bool ok = lost == 0 && pacedBoxes == 0 && burstBoxes == 0 && paced.missed == 0 &&
                    write.missed == 0 && burst.missed == 0;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
