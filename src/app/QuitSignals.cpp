#include "QuitSignals.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#endif

namespace keltrove {

#ifndef _WIN32
namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
int g_QuitPipe[2] = {-1, -1};  // a signal handler can reach only globals

void OnSignal(int /*signal*/) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_QuitPipe[1], &byte, 1);
}

}  // namespace

CQuitSignals::CQuitSignals(std::function<void()> quit) : m_Quit(std::move(quit)) {
    if (::pipe2(g_QuitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_pNotifier = new QSocketNotifier(g_QuitPipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_QuitPipe[0], &byte, 1) == 1) {
        }
        m_Quit();
    });
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

CQuitSignals::~CQuitSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
    delete m_pNotifier;
    for (int& fd : g_QuitPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}
#else
CQuitSignals::CQuitSignals(std::function<void()> quit) : m_Quit(std::move(quit)) {}
CQuitSignals::~CQuitSignals() = default;
#endif

}  // namespace keltrove
