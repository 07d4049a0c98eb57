// bench_flood: the window against a device that sends valid reports without pause.
//
// A pseudo-terminal is COM1; a thread of the benchmark floods its far end as fast as the
// line takes bytes, for 60 s (or the seconds given). Meanwhile another thread posts a
// timestamped event to the GUI thread every 10 ms and the benchmark records how late each
// one is handled: that is how long a click would wait. It samples the resident memory each
// second. At the end it checks, from the window's wire log (keltrove.wire) and the dropped
// counts of its "m_QueueRead FULL!" boxes, that every byte the window stored was handled:
// received in a frame or given up as part of a broken one. Offscreen unless
// QT_QPA_PLATFORM says otherwise. Usage: bench_flood [seconds]
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DialogHarness.h"
#include "Frame.h"

using namespace keltrove;
using namespace keltrove::test;
using Clock = std::chrono::steady_clock;

namespace {

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string name;
    long value = 0;
    while (status >> name) {
        if (name == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// A posted event that knows when it was posted.
class CPingEvent final : public QEvent {
public:
    static Type Kind() {
        static const auto type = static_cast<Type>(registerEventType());
        return type;
    }
    CPingEvent() : QEvent(Kind()), m_Posted(Clock::now()) {}
    const Clock::time_point m_Posted;
};

class CPingReceiver final : public QObject {
public:
    double worstMs = 0;
    long handled = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() != CPingEvent::Kind()) return QObject::event(event);
        const auto late = Clock::now() - static_cast<CPingEvent*>(event)->m_Posted;
        worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(late).count());
        ++handled;
        return true;
    }
};

// What the window's wire log says it handled.
struct WireCount {
    long frames = 0;
    long discarded = 0;  // bytes given up: noise, not a frame, cut short
};
WireCount g_Wire;

// A line reads "<seconds> COM1 rx[ noise| not a frame| cut short] <hex bytes>".
void CountWireLine(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (std::string_view(context.category) != "keltrove.wire") return;
    const QStringList words = message.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 3 || words[2] != QLatin1String("rx")) return;
    long bytes = 0;
    for (const QString& word : words.mid(3)) {
        bool hex = false;
        word.toInt(&hex, 16);
        if (word.size() == 2 && hex) ++bytes;
    }
    if (bytes == 8 && words.size() == 11) {
        ++g_Wire.frames;
    } else {
        g_Wire.discarded += bytes;
    }
}

std::vector<std::uint8_t> FloodBlock() {
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 512; ++i) {
        Frame frame{};
        const int entry = i % kEntryCount + 1;
        SetEntryFrame(frame, Command::EntryReport, static_cast<std::uint8_t>(entry),
                      AlignValue(std::to_string(i)));
        block.insert(block.end(), frame.begin(), frame.end());
    }
    return block;
}

}  // namespace

int main(int argc, char* argv[]) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("keltrove.wire.debug=true"));
    qInstallMessageHandler(&CountWireLine);

    int master = -1;
    int slave = -1;
    char name[64] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return 1;
    CPortDir portDir;
    portDir.Map(1, name);

    CNoPause noPause;
    long boxes = 0;
    long dropped = 0;
    // Counts the boxes, "COM1: N received bytes were dropped ...", and the bytes they name.
    class CBoxCount final : public IDialogAnswers {
    public:
        CBoxCount(long& boxes, long& dropped) : m_Boxes(boxes), m_Dropped(dropped) {}
        MessageAnswer Ask(const PanelBox& box) override {
            ++m_Boxes;
            m_Dropped += std::atol(box.detail.c_str() + box.detail.find(' ') + 1);
            return MessageAnswer::Ok;
        }
        std::optional<std::string> ChooseFile(FileChoice) override { return std::nullopt; }

    private:
        long& m_Boxes;
        long& m_Dropped;
    } count(boxes, dropped);
    CMainDlg dialog(&noPause, &count);
    dialog.show();
    ChoosePort(dialog, 1);
    if (!dialog.Presenter().Comm().IsOpen()) return 1;

    QTest::qWait(1000);
    const long idleKb = ResidentKb();
    long worstKb = idleKb;
    CPingReceiver receiver;
    std::atomic<bool> flooding{true};
    std::atomic<long> written{0};
    std::thread flooder([&] {
        const std::vector<std::uint8_t> block = FloodBlock();
        while (flooding.load()) {
            const ssize_t n = ::write(master, block.data(), block.size());
            if (n > 0) written.fetch_add(n);
        }
    });
    std::thread pinger([&] {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        auto nextSample = Clock::now();
        while (Clock::now() < end) {
            QCoreApplication::postEvent(&receiver, new CPingEvent);
            if (Clock::now() >= nextSample) {
                worstKb = std::max(worstKb, ResidentKb());
                nextSample += std::chrono::seconds(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        flooding.store(false);
    });
    while (flooding.load()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    pinger.join();
    flooder.join();
    // Let the window take what is still on its way, until nothing more comes for 500 ms.
    for (long before = -1; before != g_Wire.frames * 8 + g_Wire.discarded + dropped;) {
        before = g_Wire.frames * 8 + g_Wire.discarded + dropped;
        QTest::qWait(500);
    }

    const long handled = g_Wire.frames * 8 + g_Wire.discarded;
    std::printf(
        "flood of %d s: %.1f MB written, %ld reports received, %ld boxes, "
        "%.1f MB dropped whole for want of room\n",
        seconds, static_cast<double>(written.load()) / 1e6, g_Wire.frames, boxes,
        static_cast<double>(dropped) / 1e6);
    std::printf("window: worst wait of a posted event %.1f ms over %ld events\n", receiver.worstMs,
                receiver.handled);
    std::printf("memory: idle %ld KiB, worst %ld KiB (+%ld KiB)\n", idleKb, worstKb,
                worstKb - idleKb);
    std::printf("stored bytes not handled: %ld (0: no report that fitted in the queue was lost)\n",
                written.load() - dropped - handled);
    ::close(slave);
    ::close(master);
    return 0;
}
