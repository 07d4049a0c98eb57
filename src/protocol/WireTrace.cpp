#include "WireTrace.h"

#include <cstdio>

namespace keltrove {

namespace {

std::string_view EventName(WireEvent event) {
    switch (event) {
        case WireEvent::Sent:
            return "tx";
        case WireEvent::NotTaken:
            return "tx not taken";
        case WireEvent::Received:
            return "rx";
        case WireEvent::Noise:
            return "rx noise";
        case WireEvent::NotAFrame:
            return "rx not a frame";
        case WireEvent::CutShort:
            return "rx cut short";
        case WireEvent::Dropped:
            return "rx dropped";
    }
    return "?";
}

}  // namespace

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0f];
    }
    return text;
}

std::string TraceLine(std::chrono::nanoseconds since, std::string_view port, WireEvent event,
                      std::span<const std::uint8_t> bytes) {
    std::string what(EventName(event));
    what += ' ';
    what += HexBytes(bytes);
    return TraceNote(since, port, what);
}

std::string TraceNote(std::chrono::nanoseconds since, std::string_view port,
                      std::string_view note) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%6lld.%06lld", static_cast<long long>(micros / 1000000),
                  static_cast<long long>(micros % 1000000));
    std::string line(stamp);
    line += ' ';
    line += port;
    line += ' ';
    line += note;
    return line;
}

}  // namespace keltrove
