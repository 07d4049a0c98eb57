#include <windows.h>

#include "StopRequest.h"

namespace keltrove::cli {

namespace {
CStopRequest* g_pStop = nullptr;  // the console handler has no argument to carry it

BOOL WINAPI OnConsoleEvent(DWORD /*event*/) {  // Ctrl+C, Ctrl+Break, close, log-off
    if (g_pStop == nullptr) return FALSE;
    g_pStop->Request();
    return TRUE;  // the jobs end in order; the process is not cut short
}
}  // namespace

// Windows calls the console handler on a thread of its own, so nothing more is needed.
struct CStopRequest::Platform {};

CStopRequest::CStopRequest() : m_pPlatform(std::make_unique<Platform>()) {
    g_pStop = this;
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

CStopRequest::~CStopRequest() {
    SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
    g_pStop = nullptr;
}

}  // namespace keltrove::cli
