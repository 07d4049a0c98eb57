// Terminal: the program's standard streams as a terminal sees them.
//
// PrepareConsole runs first, on the main thread: on Windows it makes the console show
// UTF-8, writes LF line ends to files and pipes as on Linux (a table is the same file
// whether it comes from -o or from standard output), and turns on the escape sequences
// the progress bar uses; elsewhere it does nothing. StderrIsTerminal may be called from
// any thread afterwards.
#pragma once

namespace keltrove::cli {

void PrepareConsole();

// Standard error is a terminal that can draw the progress bar.
bool StderrIsTerminal();

}  // namespace keltrove::cli
