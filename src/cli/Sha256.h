// Sha256: the SHA-256 digest (FIPS 180-4) of a text, for the station's log, which records
// each panel's table before and after so that a record can be checked against a table
// file. Nothing in the command line's build has it (Qt is not linked here), and it is
// short. Pure, callable from any thread.
#pragma once

#include <string>
#include <string_view>

namespace keltrove::cli {

// 64 lower-case hexadecimal digits, as sha256sum prints them.
std::string Sha256Hex(std::string_view bytes);

}  // namespace keltrove::cli
