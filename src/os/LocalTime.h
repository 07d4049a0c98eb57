// LocalTime: the local date and time as the program writes it: into a table file's notes,
// "2026-12-07 14:03:27", and into logs, in ISO 8601 with the offset from UTC. Callable from
// any thread.
#pragma once

#include <ctime>
#include <string>

namespace keltrove {

// `when` (now, when not given) in the local time zone, as std::localtime gives it.
std::tm LocalCalendar(std::time_t when);

// "2026-12-07 14:03:27".
std::string LocalTimeText(std::time_t when = std::time(nullptr));

// "2026-12-07T14:03:27+01:00".
std::string IsoLocalTime(std::time_t when);

}  // namespace keltrove
