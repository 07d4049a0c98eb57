#include "StopRequest.h"

#include <algorithm>

namespace keltrove::cli {

std::shared_ptr<void> CStopRequest::OnRequest(std::function<void()> wake) {
    auto* held = new std::function<void()>(std::move(wake));
    {
        std::lock_guard lock(m_Mutex);
        m_Wakes.push_back(held);
    }
    if (Requested()) (*held)();
    return std::shared_ptr<void>(held, [this](void* pointer) {
        auto* function = static_cast<std::function<void()>*>(pointer);
        {
            std::lock_guard lock(m_Mutex);
            m_Wakes.erase(std::remove(m_Wakes.begin(), m_Wakes.end(), function), m_Wakes.end());
        }
        delete function;
    });
}

void CStopRequest::Request() {
    m_bRequested.store(true, std::memory_order_release);
    std::lock_guard lock(m_Mutex);
    for (const auto* wake : m_Wakes) (*wake)();
}

}  // namespace keltrove::cli
