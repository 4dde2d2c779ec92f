#include "analysis/trust/data_warnings.h"

#include <algorithm>
#include <cmath>

#include "analysis/trust/sample_scan.h"
#include "analysis/trust/shock_events.h"
#include "pulse/number_text.h"

namespace korvex {
namespace {

std::string ms(double seconds) {
    return humanText(seconds * 1e3, 4) + " ms";
}

struct Run {
    std::size_t first = 0, length = 0, count = 0;  // the longest, and how many
};

// Whether the plateau [first, end) is only a smooth peak's samples rounded
// to the same value: a straight line through the two samples before it (or
// after it) reaches its middle within `scale` (a hundredth of the range) of
// where it started; into a clip that line runs on well past the level.
bool roundedPeak(const double* x, std::size_t n, std::size_t first, std::size_t end, double scale) {
    const double half = static_cast<double>(end - first) / 2 + 1;
    double overshoot = 0.0;
    bool seen = false;
    if (first >= 2) overshoot = std::fabs(x[first - 1] - x[first - 2]) * half, seen = true;
    if (end + 2 <= n) {
        overshoot = std::max(overshoot, std::fabs(x[end + 1] - x[end]) * half);
        seen = true;
    }
    return seen && overshoot < scale;
}

}  // namespace

std::vector<DataWarning> findClipping(const RecordView& r, std::size_t minRun,
                                      const SampleScan* given) {
    std::vector<DataWarning> out;
    const std::size_t n = r.size();
    if (n < minRun || minRun < 2) return out;
    const double* x = r.values.data();
    const SampleScan scan = given != nullptr ? *given : scanSamples(r.values);
    const double high = scan.high, low = scan.low;
    const double mean = scan.sum / static_cast<double>(n);
    if (!scan.finite || !(high > low)) return out;
    // A level counts only far from the mean, and only its runs that the
    // record enters steeply; the longest of them and how many there are.
    const auto counts = [&](double level) { return std::fabs(level - mean) >= 0.5 * (high - low); };
    const bool atHigh = counts(high), atLow = counts(low);
    if (!atHigh && !atLow) return out;
    Run runs[2];
    // Levels never met compare with NaN: false.
    const double h = atHigh ? high : NAN, l = atLow ? low : NAN;
    for (std::size_t i = findEither(r.values, 0, h, l); i < n; i = findEither(r.values, i, h, l)) {
        const double v = x[i];
        std::size_t j = i;
        while (j < n && x[j] == v) ++j;
        Run& best = runs[v == high ? 0 : 1];
        if (j - i >= minRun && !roundedPeak(x, n, i, j, 0.01 * (high - low))) {
            ++best.count;
            if (j - i > best.length) best.first = i, best.length = j - i;
        }
        i = j;
    }
    for (int side = 0; side < 2; ++side) {
        const Run& best = runs[side];
        const double level = side == 0 ? high : low;
        if (best.count == 0) continue;
        DataWarning w{"clipped",
                      "clipped: " + std::to_string(best.length) + " samples at " +
                          humanText(level) + " from " + ms(r.timeAt(best.first)),
                      r.timeAt(best.first),
                      {"peak_amplitude", "srs"}};
        if (best.count > 1) {
            w.message += " (" + std::to_string(best.count) + " runs at that level)";
        }
        w.message += "; the peak and the spectra are lower bounds";
        out.push_back(std::move(w));
    }
    return out;
}

std::optional<DataWarning> findDrift(const RecordView& r, const AchievedPulse& p,
                                     double driftFraction) {
    if (!p.found || !(p.durationS > 0) || !(r.intervalS > 0)) return std::nullopt;
    const double dt = r.intervalS;
    // The pulse's own velocity change, and the record from one duration on.
    double pulseChange = 0.0;
    for (std::size_t i = p.first; i < p.end; ++i) pulseChange += r.values[i] * dt;
    const auto wait = static_cast<std::size_t>(std::ceil(p.durationS / dt));
    const std::size_t from = std::min(r.size(), p.end + wait);
    // Up to the next shock, if the record holds more than one.
    const EventSettings events;
    const double next = events.thresholdFraction * std::fabs(p.peak);
    std::size_t to = from;
    const double sum = sumBeforeMagnitude(r.values, from, next, to);
    const std::size_t count = to - from;
    if (count < 10) return std::nullopt;
    const double offset = sum / static_cast<double>(count);
    const double growth = offset * static_cast<double>(count) * dt;
    if (!(std::fabs(growth) > driftFraction * std::fabs(pulseChange))) return std::nullopt;
    return DataWarning{"drift",
                       "drift: the velocity changes by a further " + humanText(growth, 4) +
                           " after the pulse (from " + ms(r.timeAt(from)) + ", the pulse's own " +
                           humanText(pulseChange, 4) + "); an offset of " + humanText(offset, 4) +
                           " would explain it",
                       r.timeAt(from),
                       {}};
}

std::optional<DataWarning> checkPulseSampling(const AchievedPulse& p, double intervalS,
                                              std::size_t minSamples) {
    if (!p.found || !(intervalS > 0)) return std::nullopt;
    const double samples = p.durationS / intervalS;
    if (samples >= static_cast<double>(minSamples)) return std::nullopt;
    return DataWarning{"undersampled",
                       "undersampled: the pulse lasts " + ms(p.durationS) + ", " +
                           humanText(samples, 3) + " sampling intervals; at least " +
                           std::to_string(minSamples) + " are needed to measure it",
                       p.startS,
                       {}};
}

std::optional<DataWarning> checkPreTrigger(const RecordView& r, const AchievedPulse& p,
                                           double windowBeforeS) {
    if (!p.found || r.size() == 0) return std::nullopt;
    const double before = p.startS - r.timeAt(0);
    if (before >= windowBeforeS) return std::nullopt;
    return DataWarning{"short_pre_trigger",
                       "short pre-trigger: the record starts " + ms(before) +
                           " before the pulse; the window needs " + ms(windowBeforeS),
                       r.timeAt(0),
                       {}};
}

std::optional<DataWarning> checkTimeSteps(const RecordView& r, double tolerance) {
    for (std::size_t i = 1; i < r.time.size(); ++i) {
        const double step = r.time[i] - r.time[i - 1];
        if (!(step > 0) || std::fabs(step - r.intervalS) > tolerance * r.intervalS) {
            return DataWarning{"time_step",
                               "time step: " + humanText(step) + " s at " + ms(r.time[i - 1]) +
                                   " strays from the interval " + humanText(r.intervalS) +
                                   " s by more than " + humanText(tolerance * 100) + " %",
                               r.time[i - 1],
                               {}};
        }
    }
    return std::nullopt;
}

std::vector<DataWarning> dataWarnings(const RecordView& raw, const RecordView* drift,
                                      const AchievedPulse& pulse, const WarningSettings& s,
                                      const SampleScan* rawScan) {
    std::vector<DataWarning> out = findClipping(raw, s.clipRun, rawScan);
    for (auto w : {drift ? findDrift(*drift, pulse, s.driftFraction) : std::nullopt,
                   checkPulseSampling(pulse, raw.intervalS, s.minPulseSamples)}) {
        if (w) out.push_back(std::move(*w));
    }
    return out;
}

bool peakIsLowerBound(const std::vector<DataWarning>& warnings) {
    return std::any_of(warnings.begin(), warnings.end(), [](const DataWarning& w) {
        return std::find(w.lowerBounds.begin(), w.lowerBounds.end(), "peak_amplitude") !=
               w.lowerBounds.end();
    });
}

}  // namespace korvex
