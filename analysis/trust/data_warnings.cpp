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

namespace {

// The levels a clip may sit at (NaN where none can), as findClipping says.
struct ClipLevels {
    double high = NAN, low = NAN, range = 0.0;
};

ClipLevels clipLevels(const RecordView& r, std::size_t minRun, const SampleScan& scan) {
    ClipLevels c;
    const std::size_t n = r.size();
    if (n < minRun || minRun < 2 || !scan.finite || !(scan.high > scan.low)) return c;
    const double mean = scan.sum / static_cast<double>(n);
    c.range = scan.high - scan.low;
    if (std::fabs(scan.high - mean) >= 0.5 * c.range) c.high = scan.high;
    if (std::fabs(scan.low - mean) >= 0.5 * c.range) c.low = scan.low;
    return c;
}

// The runs among the samples at a level (in order), the longest and how
// many of each level, as warnings.
std::vector<DataWarning> clipWarnings(const RecordView& r, std::size_t minRun, const ClipLevels& c,
                                      const std::vector<std::size_t>& atLevel) {
    const double* x = r.values.data();
    Run runs[2];
    for (std::size_t k = 0; k < atLevel.size();) {
        const std::size_t i = atLevel[k];
        std::size_t j = k + 1;
        while (j < atLevel.size() && atLevel[j] == atLevel[j - 1] + 1 && x[atLevel[j]] == x[i]) ++j;
        const std::size_t length = j - k;
        Run& best = runs[x[i] == c.high ? 0 : 1];
        if (length >= minRun && !roundedPeak(x, r.size(), i, i + length, 0.01 * c.range)) {
            ++best.count;
            if (length > best.length) best.first = i, best.length = length;
        }
        k = j;
    }
    std::vector<DataWarning> out;
    for (int side = 0; side < 2; ++side) {
        const Run& best = runs[side];
        if (best.count == 0) continue;
        const double level = side == 0 ? c.high : c.low;
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

// Where drift is looked for: from one duration after the pulse to the next
// shock, one passing the events' default threshold.
struct DriftWindow {
    bool valid = false;
    std::size_t from = 0;
    double nextShock = 0.0;
};

DriftWindow driftWindow(const RecordView& r, const AchievedPulse& p) {
    DriftWindow w;
    if (!p.found || !(p.durationS > 0) || !(r.intervalS > 0)) return w;
    const auto wait = static_cast<std::size_t>(std::ceil(p.durationS / r.intervalS));
    w.valid = true;
    w.from = std::min(r.size(), p.end + wait);
    w.nextShock = EventSettings{}.thresholdFraction * std::fabs(p.peak);
    return w;
}

std::optional<DataWarning> driftWarning(const RecordView& r, const AchievedPulse& p,
                                        double driftFraction, const DriftWindow& w, double sum,
                                        std::size_t to) {
    const std::size_t count = to - w.from;
    if (!w.valid || count < 10) return std::nullopt;
    const double dt = r.intervalS;
    double pulseChange = 0.0;  // the pulse's own velocity change
    for (std::size_t i = p.first; i < p.end; ++i) pulseChange += r.values[i] * dt;
    const double offset = sum / static_cast<double>(count);
    const double growth = offset * static_cast<double>(count) * dt;
    if (!(std::fabs(growth) > driftFraction * std::fabs(pulseChange))) return std::nullopt;
    return DataWarning{"drift",
                       "drift: the velocity changes by a further " + humanText(growth, 4) +
                           " after the pulse (from " + ms(r.timeAt(w.from)) + ", the pulse's own " +
                           humanText(pulseChange, 4) + "); an offset of " + humanText(offset, 4) +
                           " would explain it",
                       r.timeAt(w.from),
                       {}};
}

}  // namespace

std::vector<DataWarning> findClipping(const RecordView& r, std::size_t minRun,
                                      const SampleScan* given) {
    const ClipLevels c = clipLevels(r, minRun, given != nullptr ? *given : scanSamples(r.values));
    if (std::isnan(c.high) && std::isnan(c.low)) return {};
    const LevelsAndTail s = scanLevelsAndTail(r.values, c.high, c.low, r.size(), 0.0);
    return clipWarnings(r, minRun, c, s.atLevel);
}

std::optional<DataWarning> findDrift(const RecordView& r, const AchievedPulse& p,
                                     double driftFraction) {
    const DriftWindow w = driftWindow(r, p);
    if (!w.valid) return std::nullopt;
    const LevelsAndTail s = scanLevelsAndTail(r.values, NAN, NAN, w.from, w.nextShock);
    return driftWarning(r, p, driftFraction, w, s.tailSum, s.tailEnd);
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
    std::vector<DataWarning> out;
    std::optional<DataWarning> drifting;
    if (drift != nullptr && drift->values.data() == raw.values.data()) {
        // The same samples: the clips and the drift in one pass.
        const ClipLevels c =
            clipLevels(raw, s.clipRun, rawScan != nullptr ? *rawScan : scanSamples(raw.values));
        const DriftWindow w = driftWindow(raw, pulse);
        const LevelsAndTail t = scanLevelsAndTail(raw.values, c.high, c.low,
                                                  w.valid ? w.from : raw.size(), w.nextShock);
        out = clipWarnings(raw, s.clipRun, c, t.atLevel);
        drifting = driftWarning(raw, pulse, s.driftFraction, w, t.tailSum, t.tailEnd);
    } else {
        out = findClipping(raw, s.clipRun, rawScan);
        if (drift != nullptr) drifting = findDrift(*drift, pulse, s.driftFraction);
    }
    for (auto w : {drifting, checkPulseSampling(pulse, raw.intervalS, s.minPulseSamples)}) {
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
