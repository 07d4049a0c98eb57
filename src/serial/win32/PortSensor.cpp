#include "PortSensor.h"

#include "SystemError.h"

namespace keltrove {

CPortSensor::CPortSensor(std::string /*port*/, bool /*poll*/, std::chrono::milliseconds period)
    : m_PollPeriod(period) {}

std::string CPortSensor::Open() {
    m_Wake.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_Wake.IsValid()) {
        return DescribeSystemError("the port watch", ::GetLastError(), "cannot make its event");
    }
    return {};
}

bool CPortSensor::Next() {
    const auto period = static_cast<DWORD>(m_PollPeriod.count());
    // A failed wait is taken as a wake-up: it would fail again at once, and spin.
    return ::WaitForSingleObject(m_Wake.Get(), period) == WAIT_TIMEOUT;
}

void CPortSensor::Wake() {
    ::SetEvent(m_Wake.Get());
}

}  // namespace keltrove
