#include "Terminal.h"

#include <io.h>

#include <cstdio>

namespace keltrove::cli {

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace keltrove::cli
