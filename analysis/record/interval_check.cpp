#include "analysis/record/interval_check.h"

#include <charconv>
#include <cmath>

#include "analysis/record/record_error.h"
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

std::size_t firstStepBeyond(std::span<const double> t, double interval, double slack) {
    for (std::size_t i = 1; i < t.size(); ++i) {
        const double step = t[i] - t[i - 1];
        if (!(step > 0) || !(std::abs(step - interval) <= kIntervalTolerance * interval + slack))
            return i;
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
           shortNumber(interval) +
           " s = (last time - first time) / (samples - 1); for values sampled evenly whatever "
           "the times say, " +
           RecordError::mention(ReadSetting::TimeColumn) + " none " +
           RecordError::mention(ReadSetting::Rate) + " HZ";
}

double slopeWithinRounding(std::span<const double> t, double resolution) {
    const std::size_t n = t.size();
    if (n < 3 || !(resolution > 0)) return -1.0;
    // Times from the first one on, against sample numbers centred on their
    // mean, keep the sums small.
    const double middle = static_cast<double>(n - 1) / 2;
    double sumY = 0.0, sumXY = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double y = t[i] - t[0];
        sumY += y;
        sumXY += (static_cast<double>(i) - middle) * y;
    }
    const double count = static_cast<double>(n);
    const double sumXX = count * (count * count - 1) / 12;
    const double slope = sumXY / sumXX;
    const double mean = sumY / count;  // the line's value at `middle`
    // Printing coarser than a tenth of the interval leaves too little of
    // the steps to tell rounding from an uneven clock.
    if (resolution > slope / 10) return -1.0;
    const double limit = 0.55 * resolution;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && !(t[i] > t[i - 1])) return -1.0;
        const double line = mean + (static_cast<double>(i) - middle) * slope;
        if (!(std::abs(t[i] - t[0] - line) <= limit)) return -1.0;
    }
    return slope > 0 && std::isfinite(slope) ? slope : -1.0;
}

std::string roundedTimesNote(double resolution, double interval) {
    // Seven digits: the slope of rounded times is known no closer.
    const auto text = [](double x) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 7);
        return std::string(buf, r.ptr);
    };
    return "time column printed to " + text(resolution) + " s: interval " + text(interval) +
           " s from its slope";
}

std::string spanOverflowReason(std::string_view first, std::string_view last) {
    return "time " + text::quoted(last) + ": its distance from the first time " +
           text::quoted(first) + " is beyond the range of a double";
}

}  // namespace korvex
