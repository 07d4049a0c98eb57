// PortWatch: CPortWatch tells when a port may have come back or gone, so that whoever waits
// for it tries to open it then, rather than at random.
//
// It watches a port's name (COMn through the COM map, or a device path), or every serial
// device and COM name at once (`ports --watch`). It says only "may have": a change it sees
// may concern another name of the same directory, and a port that is back may still refuse
// to open (another program holds it). The open is the test. How it sees changes:
//   - Linux: inotify on every directory that the name's chain of links passes through (the
//     COM maps, /dev/serial/by-id, /dev, /dev/pts, ...), or on the nearest one that exists
//     while one is missing; after each change it follows the chain again, so that a link
//     that now points elsewhere is watched where it points. Where inotify is unavailable,
//     or a directory cannot be watched, a poll once a second compares the directories' and
//     entries' status instead.
//   - Windows: a poll once a second, each of which reports a possible change: the system
//     keeps nothing cheaper up to date under Wine (a window adds WM_DEVICECHANGE).
// It costs nothing when it does not watch: no thread, no timer, no descriptor. With inotify
// it sleeps until the kernel reports a change in a watched directory.
//
// Threads. Start, StartForEveryPort, Stop and WaitForChange belong to one thread, the
// owner's. The watch runs a thread of its own from Start to Stop; `onChange`, when given, is
// called on that thread after every change it sees, and must return quickly and never wait
// for the owner's thread (a window posts it over to its own thread and returns), since Stop
// waits for the watch's thread to end. Stop wakes that thread, joins it and closes its
// descriptors; after Stop returns, `onChange` is not called again. Interrupt may be called
// from any thread, also before Start (a stop request): it ends the owner's WaitForChange
// at once, and every later one until Stop, which clears it.
//
// Failures: Start returns why the watch could not start (no thread); the watch is then not
// running, and a caller that waits should try the port once a second on its own. Nothing
// throws.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace keltrove {

class CPortSensor;

class CPortWatch {
public:
    using Clock = std::chrono::steady_clock;
    using Callback = std::function<void()>;

    // How changes are seen: the system's notices where it has them (inotify), else a poll;
    // Poll forces the poll, for tests and benchmarks of the fallback.
    enum class Method { Notify, Poll };
    // How a WaitForChange ended.
    enum class Wake { Changed, TimedOut, Interrupted };

    static constexpr std::chrono::milliseconds kPollPeriod{1000};

    // `pollPeriod`: how often a poll looks; shorter only in tests.
    explicit CPortWatch(std::chrono::milliseconds pollPeriod = kPollPeriod);
    CPortWatch(const CPortWatch&) = delete;
    CPortWatch& operator=(const CPortWatch&) = delete;
    ~CPortWatch();  // Stop

    // Watches `port`. Returns "", or why the watch could not start. Stop the last one first.
    std::string Start(const std::string& port, Callback onChange = {},
                      Method method = Method::Notify);
    // Watches every serial device and every COMn (what `keltrove-cli ports` lists).
    std::string StartForEveryPort(Callback onChange = {}, Method method = Method::Notify);

    // Ends the watch and its thread; does nothing when none runs.
    void Stop();

    // Waits until a change has been seen since the last WaitForChange returned (or since
    // Start), `deadline` passes, or Interrupt is called.
    Wake WaitForChange(Clock::time_point deadline);

    void Interrupt();

    // The watch polls (by choice, or for want of inotify) rather than being told.
    bool Polls() const;

private:
    std::string Begin(std::string port, Callback onChange, Method method);
    void Run();

    const std::chrono::milliseconds m_PollPeriod;
    std::unique_ptr<CPortSensor> m_pSensor;  // from Start to Stop
    Callback m_OnChange;                     // the watch's thread reads it while it runs
    std::thread m_Thread;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::uint64_t m_nChanges = 0;  // guarded: changes seen since Start
    std::uint64_t m_nSeen = 0;     // guarded: how many WaitForChange has returned for
    bool m_bInterrupted = false;   // guarded
};

}  // namespace keltrove
