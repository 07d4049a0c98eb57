// StopRequest: Ctrl+C, SIGTERM or SIGHUP, as a request every job sees.
//
// The signals are taken by a thread of their own (waiting on the stop-signal descriptor on
// POSIX, a console handler on Windows), never by a handler that interrupts a job, so that each job
// can end in order: its port closed, its lock removed, no file half written. Construct it on the
// main thread before any other thread starts. Thread-safe.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace keltrove::cli {

class CStopRequest {
public:
    CStopRequest();
    ~CStopRequest();
    CStopRequest(const CStopRequest&) = delete;
    CStopRequest& operator=(const CStopRequest&) = delete;

    bool Requested() const { return m_bRequested.load(std::memory_order_acquire); }

    // `wake` is called, on any thread, when a stop is requested; registered for as long
    // as the returned handle lives.
    std::shared_ptr<void> OnRequest(std::function<void()> wake);

    // Asks every job to stop, as a signal does.
    void Request();

private:
    struct Platform;

    std::atomic<bool> m_bRequested{false};
    std::mutex m_Mutex;
    std::vector<std::function<void()>*> m_Wakes;
    std::unique_ptr<Platform> m_pPlatform;
};

}  // namespace keltrove::cli
