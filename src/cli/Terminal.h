// Terminal: whether standard error is a terminal, where a progress bar may be drawn.
// Callable from any thread.
#pragma once

namespace keltrove::cli {

bool StderrIsTerminal();

}  // namespace keltrove::cli
