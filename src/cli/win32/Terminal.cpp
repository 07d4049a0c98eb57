#include "Terminal.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace keltrove::cli {

namespace {
bool g_bProgress = false;  // written once by PrepareConsole, before any other thread
}  // namespace

void PrepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The bar redraws its line with "\r\033[K", which a console shows as it stands unless
    // it processes escape sequences; a console that cannot gets no bar.
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (_isatty(_fileno(stderr)) != 0 && ::GetConsoleMode(error, &mode)) {
        g_bProgress = ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING |
                                                  ENABLE_PROCESSED_OUTPUT) != 0;
    }
}

bool StderrIsTerminal() {
    return g_bProgress;
}

}  // namespace keltrove::cli
