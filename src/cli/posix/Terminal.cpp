#include "Terminal.h"

#include <unistd.h>

namespace keltrove::cli {

void PrepareConsole() {}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace keltrove::cli
