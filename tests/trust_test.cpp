#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/condition/conditioning.h"
#include "analysis/trust/achieved_pulse.h"
#include "analysis/trust/data_warnings.h"
#include "analysis/trust/shock_events.h"

namespace korvex {
namespace {

// A pulse of `amplitude` and `duration` from `start`, sampled every dt from
// 0 for `total` seconds, on zero.
std::vector<double> sampledPulse(PulseShape shape, double amplitude, double duration, double start,
                                 double total, double dt) {
    std::vector<double> x(static_cast<std::size_t>(std::llround(total / dt)));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double u = (static_cast<double>(i) * dt - start) / duration;
        if (u < 0 || u > 1) continue;
        x[i] = amplitude *
               (shape == PulseShape::HalfSine ? std::sin(std::numbers::pi * u) : (u < 1 ? u : 0));
    }
    return x;
}

RecordView viewOf(const std::vector<double>& x, double dt) {
    return {{}, x, 0.0, dt};
}

std::vector<std::string> codes(const std::vector<DataWarning>& warnings) {
    std::vector<std::string> out;
    for (const DataWarning& w : warnings) out.push_back(w.code);
    return out;
}

// Each fault gives its warning and nothing else; a clean pulse, a flat
// baseline at the record's minimum and a lone sample at the peak give none.
TEST(DataWarnings, EachFaultIsNamedWithItsPlace) {
    const double dt = 1e-4;
    const auto pulse = [dt] {
        return sampledPulse(PulseShape::HalfSine, 600, 0.011, 0.005, 0.2, dt);
    };
    std::vector<double> clipped = pulse();
    for (double& v : clipped) v = std::min(v, 546.5);
    std::vector<double> drifting = pulse();
    for (double& v : drifting) v += 5.0;  // a channel's offset
    std::vector<double> twoSamplesAtPeak = pulse();
    twoSamplesAtPeak[100] = twoSamplesAtPeak[101] = 700;
    // A smooth peak finely sampled and rounded as a 16-bit recorder would,
    // to a few equal samples at the top: not a clip.
    std::vector<double> rounded = sampledPulse(PulseShape::HalfSine, 50, 0.011, 0.005, 0.05, 1e-5);
    for (double& v : rounded) v = std::round(v * 1e3) / 1e3;
    ASSERT_GE(std::count(rounded.begin(), rounded.end(), 50.0), 3);
    const std::vector<double> narrow =
        sampledPulse(PulseShape::HalfSine, 50, 0.0006, 0.01, 0.05, dt);
    struct Case {
        const char* name;
        std::vector<double> x;
        std::vector<std::string> expected;
        double whereS;
    };
    for (const Case& c :
         {Case{"clean", pulse(), {}, 0}, Case{"clipped", clipped, {"clipped"}, 0.0091},
          Case{"drifting", drifting, {"drift"}, 0.0261},
          Case{"two at the peak", twoSamplesAtPeak, {}, 0},
          Case{"undersampled", narrow, {"undersampled"}, 0.01}}) {
        const RecordView r = viewOf(c.x, dt);
        const AchievedPulse p = measurePulse(r);
        const std::vector<DataWarning> w = dataWarnings(r, &r, p, {});
        ASSERT_EQ(codes(w), c.expected) << c.name << ": " << (w.empty() ? "" : w[0].message);
        if (!w.empty()) {
            EXPECT_NEAR(*w[0].whereS, c.whereS, 1.5e-4) << c.name;
        }
    }
    const std::vector<DataWarning> clip = findClipping(viewOf(clipped, dt));
    EXPECT_EQ(clip.at(0).message.rfind("clipped: 29 samples at 546.5 from 9.1 ms", 0), 0u)
        << clip[0].message;
    EXPECT_TRUE(peakIsLowerBound(clip));
    const std::optional<DataWarning> drift =
        findDrift(viewOf(drifting, dt), measurePulse(viewOf(drifting, dt)));
    ASSERT_TRUE(drift);
    EXPECT_NE(drift->message.find("an offset of 5 would"), std::string::npos) << drift->message;
    EXPECT_TRUE(checkPreTrigger(viewOf(pulse(), dt), measurePulse(viewOf(pulse(), dt)), 0.0054));
    EXPECT_FALSE(checkPreTrigger(viewOf(pulse(), dt), measurePulse(viewOf(pulse(), dt)), 0.0053));
}

// An offset before the pulse is found from the pre-trigger alone and taken
// off; the whole-record mean includes the pulse.
TEST(Conditioning, PreTriggerOffsetIsTheMeanBeforeThePulse) {
    const double dt = 1e-4;
    std::vector<double> x = sampledPulse(PulseShape::HalfSine, 50, 0.011, 0.01, 0.05, dt);
    std::mt19937_64 random(5);
    std::normal_distribution<double> noise(0, 0.05);
    for (double& v : x) v += 2.5 + noise(random);
    ConditionSettings s;
    s.offset = OffsetMethod::PreTrigger;
    const ConditionedRecord c = conditionRecord(viewOf(x, dt), s);
    EXPECT_NEAR(c.processing.offsetValue, 2.5, 0.02);
    EXPECT_GE(c.processing.offsetSamples, 90u);
    EXPECT_LE(c.processing.offsetSamples, 100u);
    EXPECT_NEAR(c.values[0] + 2.5, x[0], 0.02);
    const std::vector<double> atStart = sampledPulse(PulseShape::HalfSine, 50, 0.011, 0, 0.05, dt);
    EXPECT_THROW(conditionRecord(viewOf(atStart, dt), s), ConditionError);
}

// Fitted on noisy sampled pulses (2 % of the peak, 10 kHz): amplitude within
// 1 %, duration within 2 %, and the other shape fits worse.
TEST(AchievedPulse, BestFitsRecoverNoisyPulses) {
    const double dt = 1e-4;
    std::mt19937_64 random(11);
    std::normal_distribution<double> noise(0, 1.0);
    struct Case {
        PulseShape shape;
        double amplitude, duration, start;
    };
    for (const Case& c : {Case{PulseShape::HalfSine, 50, 0.011, 0.0123},
                          Case{PulseShape::HalfSine, -30, 0.006, 0.02},
                          Case{PulseShape::TerminalSawtooth, 50, 0.011, 0.0131},
                          Case{PulseShape::TerminalSawtooth, 100, 0.018, 0.01}}) {
        std::vector<double> x = sampledPulse(c.shape, c.amplitude, c.duration, c.start, 0.06, dt);
        for (double& v : x) v += 0.02 * std::fabs(c.amplitude) * noise(random);
        const RecordView r = viewOf(x, dt);
        const AchievedPulse p = measurePulse(r);
        const PulseFit fit = fitPulse(r, p, c.shape);
        const PulseShape other =
            c.shape == PulseShape::HalfSine ? PulseShape::TerminalSawtooth : PulseShape::HalfSine;
        EXPECT_NEAR(fit.amplitude / c.amplitude, 1, 0.01) << c.amplitude;
        EXPECT_NEAR(fit.durationS / c.duration, 1, 0.02) << c.amplitude;
        EXPECT_NEAR(fit.startS, c.start, 0.02 * c.duration) << c.amplitude;
        EXPECT_LT(fit.residual, 0.03) << c.amplitude;
        EXPECT_GT(fitPulse(r, p, other).residual, 2 * fit.residual) << c.amplitude;
    }
    // The measured duration between 10 % crossings of a fine half-sine.
    const std::vector<double> fine = sampledPulse(PulseShape::HalfSine, 1, 0.01, 0.001, 0.02, 1e-6);
    const AchievedPulse p = measurePulse(viewOf(fine, 1e-6));
    EXPECT_NEAR(p.durationS, 0.01 * (1 - 2 * std::asin(0.1) / std::numbers::pi), 1e-8);
    EXPECT_NEAR(p.riseTimeS, 0.01 * (std::asin(0.9) - std::asin(0.1)) / std::numbers::pi, 1e-8);
}

TEST(ShockEvents, FivePulsesInOneRecordAreFiveEvents) {
    const double dt = 1e-4;
    std::vector<double> x(static_cast<std::size_t>(1.0 / dt));
    const double starts[] = {0.05, 0.21, 0.4, 0.62, 0.9};
    const double peaks[] = {50, -40, 45, 30, 60};
    for (int k = 0; k < 5; ++k) {
        const std::vector<double> one =
            sampledPulse(PulseShape::HalfSine, peaks[k], 0.011, starts[k], 1.0, dt);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] += one[i];
    }
    // Ringing after each pulse that dips under the threshold and back must not split it.
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] += 0.5 * std::sin(2 * std::numbers::pi * 900 * i * dt);
    const RecordView r = viewOf(x, dt);
    const std::vector<ShockEvent> events = findEvents(r, {});
    ASSERT_EQ(events.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(events[k].pulse.peak, peaks[k], 1.0) << k;
        EXPECT_NEAR(events[k].pulse.peakTimeS, starts[k] + 0.0055, 5e-4) << k;
        EXPECT_NEAR(events[k].pulse.durationS, 0.011 * 0.936, 5e-4) << k;
        const RecordView slice = eventView(r, events[k]);
        EXPECT_LE(slice.startS, starts[k] - 0.02) << k;
        if (k > 0) {
            EXPECT_EQ(events[k].first, events[k - 1].end);
        }
    }
    EXPECT_EQ(events.back().end, x.size());
}

}  // namespace
}  // namespace korvex
