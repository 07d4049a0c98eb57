#include "StderrLog.h"

#include <time.h>

#include <cstdio>

namespace keltrove::device {

void CStderrLog::Line(std::string_view text) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    // One call per line, so lines from a log that is shared with others stay whole.
    std::fprintf(stderr, "%02d:%02d:%02d.%03ld %.*s\n", local.tm_hour, local.tm_min, local.tm_sec,
                 now.tv_nsec / 1'000'000, static_cast<int>(text.size()), text.data());
}

}  // namespace keltrove::device
