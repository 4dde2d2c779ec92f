#include "pulse/pulse_messages.h"

#include "pulse/number_text.h"
#include "pulse/pulse_series.h"

namespace korvex {

std::string cutNote(double coveredSeconds) {
    return "Note: the record was cut to " + std::to_string(kMaxSamples) +
           " samples; it covers only the first " + humanText(coveredSeconds, 6) + " sec.";
}

}  // namespace korvex
