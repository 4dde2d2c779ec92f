#include "pulse/pulse_messages.h"

#include <charconv>

#include "pulse/pulse_series.h"

namespace korvex {

std::string cutNote(double coveredSeconds) {
    char seconds[32];
    // printf's %g, without the C locale's decimal comma.
    const auto res = std::to_chars(seconds, seconds + sizeof seconds, coveredSeconds,
                                   std::chars_format::general, 6);
    return "Note: the record was cut to " + std::to_string(kMaxSamples) +
           " samples; it covers only the first " + std::string(seconds, res.ptr) + " sec.";
}

}  // namespace korvex
