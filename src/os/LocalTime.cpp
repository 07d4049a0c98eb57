#include "LocalTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace keltrove {

std::tm LocalCalendar(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    return local;
}

std::string LocalTimeText(std::time_t when) {
    const std::tm local = LocalCalendar(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string IsoLocalTime(std::time_t when) {
    const std::tm local = LocalCalendar(when);
    // The offset is what the local calendar's reading, taken as UTC, is ahead of `when`
    // (strftime's %z gives the zone's name, not its offset, on Windows).
    using namespace std::chrono;
    const sys_days day = year{local.tm_year + 1900} /
                         month{static_cast<unsigned>(local.tm_mon + 1)} /
                         std::chrono::day{static_cast<unsigned>(local.tm_mday)};
    const sys_seconds asUtc =
        day + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
    const long offset = static_cast<long>((asUtc - sys_seconds{seconds{when}}).count()) / 60;
    const int zone = static_cast<int>(std::labs(offset) % (24 * 60));  // zones stay within a day
    char text[48];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%c%02d:%02d", offset < 0 ? '-' : '+', zone / 60,
                  zone % 60);
    return std::string(text) + suffix;
}

}  // namespace keltrove
