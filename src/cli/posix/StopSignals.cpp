#include <pthread.h>
#include <signal.h>

#include <thread>

#include "StopRequest.h"

namespace keltrove::cli {

// A thread that waits for the stop signals, which every other thread has blocked. A
// SIGUSR2 of our own ends it when the program ends normally.
struct CStopRequest::Platform {
    sigset_t stops{};
    sigset_t saved{};
    std::thread waiter;
};

CStopRequest::CStopRequest() : m_pPlatform(std::make_unique<Platform>()) {
    sigemptyset(&m_pPlatform->stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR2}) {
        sigaddset(&m_pPlatform->stops, signal);
    }
    // Blocked here, before any thread starts, so every thread inherits it.
    pthread_sigmask(SIG_BLOCK, &m_pPlatform->stops, &m_pPlatform->saved);
    m_pPlatform->waiter = std::thread([this] {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_pPlatform->stops, &signal) != 0) continue;
            if (signal == SIGUSR2) return;
            Request(signal);
        }
    });
}

CStopRequest::~CStopRequest() {
    pthread_kill(m_pPlatform->waiter.native_handle(), SIGUSR2);
    m_pPlatform->waiter.join();
    pthread_sigmask(SIG_SETMASK, &m_pPlatform->saved, nullptr);
}

}  // namespace keltrove::cli
