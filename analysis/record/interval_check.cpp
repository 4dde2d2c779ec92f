#include "analysis/record/interval_check.h"

#include <cmath>

#include "analysis/record/text/fields.h"
#include "analysis/record_reader.h"

namespace korvex {

double intervalOf(std::span<const double> t) {
    return (t.back() - t.front()) / static_cast<double>(t.size() - 1);
}

bool strays(double step, double interval) {
    return !(step > 0) || std::abs(step - interval) > kIntervalTolerance * interval;
}

std::size_t firstBadStep(std::span<const double> t, double interval, double minStep,
                         double maxStep) {
    if (!strays(minStep, interval) && !strays(maxStep, interval)) return kNoBadStep;
    for (std::size_t i = 1; i < t.size(); ++i) {
        if (strays(t[i] - t[i - 1], interval)) return i;
    }
    return kNoBadStep;
}

std::string badStepReason(double step, double interval, std::string_view before,
                          std::string_view now) {
    using text::quoted;
    using text::shortNumber;
    if (!(step > 0)) {
        return "time " + quoted(now) + " does not increase (the line before has " + quoted(before) +
               ")";
    }
    return "time step " + shortNumber(step) + " s differs by more than 1 % from the interval " +
           shortNumber(interval) + " s = (last time - first time) / (samples - 1)";
}

std::string spanOverflowReason(std::string_view first, std::string_view last) {
    return "time " + text::quoted(last) + ": its distance from the first time " +
           text::quoted(first) + " is beyond the range of a double";
}

}  // namespace korvex
