// What both platforms' watches share: the thread, the count of changes, the waits.
#include "PortWatch.h"

#include <system_error>
#include <utility>

#include "PortSensor.h"  // from the platform folder
#include "SystemError.h"

namespace keltrove {

CPortWatch::CPortWatch(std::chrono::milliseconds pollPeriod) : m_PollPeriod(pollPeriod) {}

CPortWatch::~CPortWatch() {
    Stop();
}

std::string CPortWatch::Start(const std::string& port, Callback onChange, Method method) {
    return Begin(port, std::move(onChange), method);
}

std::string CPortWatch::StartForEveryPort(Callback onChange, Method method) {
    return Begin({}, std::move(onChange), method);
}

std::string CPortWatch::Begin(std::string port, Callback onChange, Method method) {
    if (m_Thread.joinable()) Stop();
    auto sensor = std::make_unique<CPortSensor>(std::move(port), method == Method::Poll, m_PollPeriod);
    if (std::string failed = sensor->Open(); !failed.empty()) return failed;
    m_pSensor = std::move(sensor);
    m_OnChange = std::move(onChange);
    {
        std::lock_guard lock(m_Mutex);
        m_nChanges = 0;
        m_nSeen = 0;
    }
    try {
        m_Thread = std::thread(&CPortWatch::Run, this);
    } catch (const std::system_error& error) {
        m_pSensor.reset();
        m_OnChange = nullptr;
        return "cannot start the port watch's thread: " + SystemMessage(error.code().value());
    }
    return {};
}

void CPortWatch::Run() {
    while (m_pSensor->Next()) {
        {
            std::lock_guard lock(m_Mutex);
            ++m_nChanges;
        }
        m_Changed.notify_all();
        if (m_OnChange) m_OnChange();
    }
}

void CPortWatch::Stop() {
    if (m_Thread.joinable()) {
        m_pSensor->Wake();
        m_Thread.join();
    }
    m_pSensor.reset();  // only now: its descriptors were the thread's to wait on
    m_OnChange = nullptr;
    std::lock_guard lock(m_Mutex);
    m_bInterrupted = false;
}

CPortWatch::Wake CPortWatch::WaitForChange(Clock::time_point deadline) {
    std::unique_lock lock(m_Mutex);
    const bool woken = m_Changed.wait_until(
        lock, deadline, [&] { return m_bInterrupted || m_nChanges != m_nSeen; });
    if (m_bInterrupted) return Wake::Interrupted;
    if (!woken) return Wake::TimedOut;
    m_nSeen = m_nChanges;
    return Wake::Changed;
}

void CPortWatch::Interrupt() {
    {
        std::lock_guard lock(m_Mutex);
        m_bInterrupted = true;
    }
    m_Changed.notify_all();
}

bool CPortWatch::Polls() const {
    return m_pSensor && m_pSensor->Polls();
}

}  // namespace keltrove
