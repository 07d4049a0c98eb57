// Targets: where a command line's ports and files lead, checked before anything is sent.
//
// Two names of one device (COM1 and the device it is mapped to, a link and its target,
// COM1 and \\.\COM1 on Windows, rfc2217:// and tcp:// to one server port) would put two
// jobs on one line; two ports whose -o or --backup files are one file would lose one of
// the tables; a backup onto the table file being written would replace the table with what
// the panel held. Each is a usage error, said with what to do. Reads the file system and
// the port maps; callable from any thread.
#pragma once

#include <string>
#include <vector>

namespace keltrove::cli {

// `pattern` with every {port} replaced by the port as a file name: COM1, or for a device
// path its name with / and \ as _ (/dev/ttyUSB0 becomes ttyUSB0), or for a network port
// its name with what no file name may hold as _ (rfc2217://10.0.0.5:4001 becomes
// rfc2217_10.0.0.5_4001).
std::string OutputFor(const std::string& pattern, const std::string& port);

// Why `ports` cannot be served together: two of them name one device. Empty otherwise.
std::string OneDeviceTwice(const std::vector<std::string>& ports);

// Why the files that `option` ("-o", "--backup") gives `ports` by `pattern` cannot be
// saved: one is `table`, the table file being written (by its name, through a link, or as
// a hard link to it), one cannot be saved as things stand (ReplaceProblem), or two of them
// are one file. Empty otherwise.
std::string FilesThatClash(const char* option, const std::string& pattern,
                           const std::vector<std::string>& ports, const std::string& table = {});

}  // namespace keltrove::cli
