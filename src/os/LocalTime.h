// LocalTime: the local date and time as the program writes it into a table file's notes,
// "2026-12-07 14:03:27". Callable from any thread.
#pragma once

#include <string>

namespace keltrove {

std::string LocalTimeText();

}  // namespace keltrove
