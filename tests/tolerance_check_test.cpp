#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/check/test_plan.h"
#include "analysis/tolerance_check.h"

namespace korvex {
namespace {

constexpr double kDt = 1e-4;     // 10 kHz
constexpr double kD = 0.011;     // 110 samples of pulse
constexpr double kStart = 0.25;  // the record's first time

struct Samples {
    std::vector<double> time, values;
    RecordView view(bool withTimes) const {
        return {withTimes ? std::span<const double>(time) : std::span<const double>(), values,
                kStart, kDt};
    }
};

// A record whose pulse starts `shift` samples after sample `at`, scaled,
// with a spike at the middle of the pulse and, for the sawtooth, a drop
// that takes `drop` x D instead of no time.
struct Shape {
    double scale = 1.0, spike = 0.0, drop = 0.0, shift = 0.0;
};
Samples makeRecord(const CheckPulse& p, std::size_t n, std::size_t at, const Shape& s) {
    Samples r;
    const RecordView uniform{{}, {}, kStart, kDt};
    const double start = uniform.timeAt(at) + s.shift * kDt;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = uniform.timeAt(i), u = t - start;
        double m = s.shift == 0.0 ? nominalAt(p, t - uniform.timeAt(at)) : nominalAt(p, u);
        if (s.drop > 0 && u > kD && u < kD * (1 + s.drop)) {
            m = p.amplitude * (1 - (u - kD) / (s.drop * kD));
        }
        r.time.push_back(t);
        r.values.push_back(s.scale * m);
    }
    if (s.spike != 0.0) r.values[at + 55] += s.spike * p.amplitude;
    return r;
}

TEST(ToleranceCheck, JudgesTheIssuesCases) {
    const CheckPulse half{PulseType::HalfSine, 50.0, kD};
    const CheckPulse sawDown{PulseType::TerminalSawtooth, -50.0, kD};
    const CheckPulse saw{PulseType::TerminalSawtooth, 50.0, kD};
    const SpectrumTolerance wide{-1.5, 3.0}, narrow{-0.5, 0.5};
    struct Case {
        const char* name;
        CheckPulse pulse;
        Shape shape;
        double timeTolerance;
        std::optional<SpectrumTolerance> spectrum;
        bool band, velocity;
        int srs;  // -1 not asked, else whether it passes
        std::size_t outside;
        const char* verdict;  // how the line starts
    };
    const Case cases[] = {
        {"equal", half, {}, 0.1, wide, true, true, 1, 0, "PASS: band: all 320 samples inside"},
        {"equal, negative sawtooth", sawDown, {}, 0.1, {}, true, true, -1, 0, "PASS:"},
        {"spike of 0.3 A",
         half,
         {1, 0.3},
         0.1,
         {},
         false,
         true,
         -1,
         1,
         "FAIL: band: 1 of 320 samples outside, worst at 0.2755 s: 65 above the upper limit 60"},
        {"dip of 0.3 A",
         half,
         {1, -0.3},
         0.1,
         {},
         false,
         true,
         -1,
         1,
         "FAIL: band: 1 of 320 samples outside, worst at 0.2755 s: 35 below the lower limit 37.5"},
        {"scaled by 1.25", half, {1.25}, 0.1, {}, false, false, -1, 0, "FAIL: band: "},
        {"scaled by 1.18", half, {1.18}, 0.1, {}, true, false, -1, 0, "FAIL: velocity change: "},
        {"scaled by 1.1", half, {1.1}, 0.1, narrow, true, true, 0, 0, "FAIL: spectrum: level 0.8"},
        {"slow drop, F 0.1", saw, {1, 0, 0.05}, 0.1, {}, true, true, -1, 0, "PASS:"},
        {"slow drop, F 0", saw, {1, 0, 0.05}, 0.0, {}, false, true, -1, 0, "FAIL: band: "},
        {"shifted 0.4 samples", half, {1, 0, 0, 0.4}, 0.1, {}, true, true, -1, 0, "PASS:"},
        {"shifted 0.7 samples", sawDown, {1, 0, 0, 0.7}, 0.1, {}, true, true, -1, 0, "PASS:"},
    };
    const std::size_t at = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Samples rec = makeRecord(c.pulse, 700, at, c.shape);
        CheckSettings settings;
        settings.timeTolerance = c.timeTolerance;
        settings.spectrum = c.spectrum;
        const CheckReport r = checkRecord(rec.view(false), c.pulse, settings);
        EXPECT_EQ(r.band.pass, c.band);
        EXPECT_EQ(r.velocity.pass, c.velocity);
        EXPECT_EQ(r.pass, c.band && c.velocity && c.srs != 0);
        ASSERT_EQ(r.srs.has_value(), c.srs >= 0);
        if (r.srs) {
            EXPECT_EQ(r.srs->pass, c.srs == 1);
        }
        if (c.outside > 0) {
            EXPECT_EQ(r.band.samplesOutside, c.outside);
        }
        EXPECT_EQ(checkVerdict(r).rfind(c.verdict, 0), 0u) << checkVerdict(r);

        // Aligned to within a sample of where the pulse starts, exactly when
        // it starts on one.
        const double trueStart = rec.view(false).timeAt(at) + c.shape.shift * kDt;
        if (c.shape.drop == 0) {
            EXPECT_LE(std::fabs(r.offsetS - trueStart), kDt);
        }
        if (c.shape.shift == 0 && c.shape.drop == 0) {
            EXPECT_EQ(r.offsetIndex, at);
        }
        if (c.shape.scale == 1 && c.shape.spike == 0 && c.shape.drop == 0 && c.shape.shift == 0) {
            EXPECT_NEAR(r.band.worstMargin, settings.band, 1e-12);
            if (r.srs) {
                EXPECT_EQ(r.srs->worstDb, 0.0);
            }
        }
        if (c.shape.spike != 0) {
            EXPECT_EQ(r.band.worstIndex, at + 55);
            EXPECT_EQ(r.band.worstValue, rec.values[at + 55]);
            EXPECT_LT(r.band.worstMargin, 0.0);
        }
        if (c.shape.scale == 1.25) {
            EXPECT_NEAR(r.velocity.ratio, 1.25, 2e-3);
        }

        // The same samples with a time column: the same judgement.
        const CheckReport timed = checkRecord(rec.view(true), c.pulse, settings);
        EXPECT_EQ(timed.offsetIndex, r.offsetIndex);
        EXPECT_EQ(timed.band.worstMargin, r.band.worstMargin);
        EXPECT_EQ(timed.band.samplesOutside, r.band.samplesOutside);
        EXPECT_NEAR(timed.velocity.measured, r.velocity.measured, 1e-12);

        const std::vector<BandRow> rows = bandRows(rec.view(false), r);
        ASSERT_EQ(rows.size(), r.band.samplesChecked);
        const auto worst = std::find_if(rows.begin(), rows.end(), [&](const BandRow& row) {
            return row.timeS == r.band.worstTimeS;
        });
        ASSERT_NE(worst, rows.end());
        EXPECT_EQ(worst->upper, r.band.worstUpper);
        EXPECT_EQ(worst->lower, r.band.worstLower);
    }

    std::string line;
    appendBandRow(line, {0.0123, -1.5, 1e-300, 0.1, 2});
    EXPECT_EQ(line, "0.0123 -1.5 1e-300 0.1 2\n");
}

TEST(ToleranceCheck, RefusesWhatItCannotJudge) {
    const CheckPulse half{PulseType::HalfSine, 50.0, kD};
    const Samples ok = makeRecord(half, 700, 200, {});
    Samples unordered = ok, nan = ok;
    unordered.time[400] = unordered.time[399];
    nan.values[10] = NAN;
    // 0.4 + 1 + 1.5 pulse durations are 319 intervals: 320 samples are
    // just enough (though the times say 0.03189999...); the pulse alone is
    // 111 samples, so 110 cannot hold it.
    const Samples shortRec = makeRecord(half, 110, 0, {});
    const Samples justLong = makeRecord(half, 320, 44, {});
    const CheckReport fits = checkRecord(justLong.view(false), half);
    EXPECT_EQ(fits.offsetIndex, 44u);
    EXPECT_EQ(fits.reason, CheckReason::None);
    EXPECT_TRUE(fits.pass);

    CheckSettings badBand, wideVelocity, badSpectrum;
    badBand.band = -0.1;
    wideVelocity.velocityAfter = 1.6;
    badSpectrum.spectrum = SpectrumTolerance{3, -1.5};
    struct Case {
        const char* name;
        const Samples* rec;
        bool withTimes;
        CheckPulse pulse;
        CheckSettings settings;
        CheckField field;
        const char* says;
    };
    const Case cases[] = {
        {"short",
         &shortRec,
         false,
         half,
         {},
         CheckField::Record,
         "shorter than the pulse: it spans 0.0109 s in 110 samples"},
        {"short, timed", &shortRec, true, half, {}, CheckField::Record, "the pulse lasts 0.011 s"},
        {"times", &unordered, true, half, {}, CheckField::Record, "time number 401"},
        {"NaN", &nan, false, half, {}, CheckField::Record, "value number 11"},
        {"shape", &ok, false, {PulseType(7), 50, kD}, {}, CheckField::Shape, "shape"},
        {"amplitude", &ok, false, {PulseType::HalfSine, 0, kD}, {}, CheckField::Amplitude, "0"},
        {"duration", &ok, false, {PulseType::HalfSine, 50, -1}, {}, CheckField::Duration, "-1"},
        {"band", &ok, false, half, badBand, CheckField::Band, "-0.1"},
        {"velocity window", &ok, false, half, wideVelocity, CheckField::VelocityAfter, "1.6"},
        {"spectrum", &ok, false, half, badSpectrum, CheckField::Spectrum, "3,-1.5"},
    };
    for (const Case& c : cases) {
        try {
            checkRecord(c.rec->view(c.withTimes), c.pulse, c.settings);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const CheckError& e) {
            EXPECT_EQ(e.field(), c.field) << c.name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}

// The FFT search must find the exhaustive search's start and cost, bit for
// bit (and the other sign's where it has a clear best): a clean pulse, noisy ones, noise alone, an
// inverted record, pulses touching either end, jittered times, several blocks and one, a long
// pulse, and a silent record where every start ties.
TEST(ToleranceCheck, FastAlignmentIsTheExhaustiveOne) {
    std::mt19937_64 rng(20261214);
    std::normal_distribution<double> gauss;
    struct Case {
        const char* name;
        PulseType shape;
        std::size_t n, pulseSamples;
        double amplitude, recordAmplitude, noise;
        int at;  // -1: random, else the pulse's first sample (n - 1: ends there)
        bool jitter = false;
    };
    const Case cases[] = {
        {"clean", PulseType::HalfSine, 40000, 30, 2.0, 2.0, 0.0, -1},
        {"noisy, jittered", PulseType::HalfSine, 40000, 30, 2.0, 2.0, 0.02, -1, true},
        {"sawtooth in noise", PulseType::TerminalSawtooth, 37000, 25, -1.0, -1.0, 0.3, -1},
        {"noise alone", PulseType::HalfSine, 35000, 20, 1.0, 0.0, 1.0, -1, true},
        {"inverted", PulseType::TerminalSawtooth, 20000, 40, 1.0, -1.0, 0.1, -1},
        {"at the start", PulseType::HalfSine, 5000, 110, 50.0, 50.0, 0.01, 0},
        {"at the end", PulseType::HalfSine, 5000, 110, 50.0, 50.0, 0.01, 4889},
        {"one block", PulseType::HalfSine, 3000, 60, 5.0, 5.0, 0.0, -1, true},
        {"long pulse", PulseType::HalfSine, 30000, 9000, 1.0, 1.0, 0.5, -1},
        {"silent", PulseType::HalfSine, 40000, 32, 1.0, 0.0, 0.0, -1},
    };
    const double dt = 1e-4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double D = dt * static_cast<double>(c.pulseSamples);
        Samples rec;
        double t = 1.0;
        const std::size_t at =
            c.at >= 0 ? static_cast<std::size_t>(c.at) : c.n / 3 + rng() % (c.n / 3);
        const CheckPulse recordPulse{c.shape, c.recordAmplitude, D};
        for (std::size_t i = 0; i < c.n; ++i) {
            rec.time.push_back(t);
            t += c.jitter ? dt * (0.9 + 0.2 * (rng() % 1000) / 1000.0) : dt;
        }
        const double shift = c.at >= 0 ? 0.0 : 0.3 * dt;
        for (std::size_t i = 0; i < c.n; ++i) {
            const double u = rec.time[i] - rec.time[at] - shift;
            rec.values.push_back(nominalAt(recordPulse, u) + c.noise * gauss(rng));
        }
        const RecordView view{rec.time, rec.values, 1.0, dt};
        const CheckPulse pulse{c.shape, c.amplitude, D};
        const Alignment plain = alignPulse(view, pulse, {}, AlignSearch::Every);
        if (c.recordAmplitude == 0.0 && c.noise == 0.0) {
            EXPECT_EQ(plain.index, 0u);
        }
        if (c.at >= 0) {
            EXPECT_EQ(plain.index, std::min(at, c.n - c.pulseSamples - 1));
        }
        for (unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << threads << " threads");
            const Alignment fast = alignPulse(view, pulse, {}, AlignSearch::Fast, threads);
            EXPECT_EQ(fast.index, plain.index);
            EXPECT_EQ(fast.cost, plain.cost);
            if (c.recordAmplitude != 0.0 && c.noise != 0.0) {  // a clear best
                EXPECT_EQ(fast.oppositeIndex, plain.oppositeIndex);
                EXPECT_EQ(fast.oppositeCost, plain.oppositeCost);
            }
            // Only a handful of contenders are summed sample by sample.
            EXPECT_LT(fast.evaluated, 200u);
        }
    }
}

// Where the window does not fit around the pulse, or the record has the
// other sign, the report and the verdict say so and the check fails.
TEST(ToleranceCheck, SaysWhyItFails) {
    const CheckPulse half{PulseType::HalfSine, 50.0, kD};
    struct Case {
        const char* name;
        std::size_t n, at;
        double scale;
        CheckReason reason;
        bool inverted;
        const char* verdict;
    };
    const Case cases[] = {
        {"at the start", 400, 0, 1.0, CheckReason::WindowBeforeOutside, false,
         "FAIL: the record starts 4.4 ms too late for the window before the pulse (0.4 x 11 ms): "
         "record with a pre-trigger, or set the window before 0 and the velocity window before 0"},
        {"1 ms in", 400, 10, 1.0, CheckReason::WindowBeforeOutside, false,
         "FAIL: the record starts 3.4 ms too late"},
        {"ends early", 200, 60, 1.0, CheckReason::WindowAfterOutside, false,
         "FAIL: the record ends 13.6 ms too early for the window after the pulse (1.5 x 11 ms "
         "after its end)"},
        {"inverted", 700, 200, -1.0, CheckReason::None, true,
         "; the record looks inverted: it matches the nominal far better with the opposite sign "
         "(a reversed accelerometer or amplitude sign)"},
        {"inverted at the start", 400, 0, -1.0, CheckReason::None, true,
         "; the record looks inverted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Samples rec = makeRecord(half, c.n, c.at, {c.scale});
        const CheckReport r = checkRecord(rec.view(false), half);
        EXPECT_FALSE(r.pass);
        if (c.scale > 0) {  // inverted, the own sign fits nowhere in particular
            EXPECT_EQ(r.reason, c.reason);
            EXPECT_EQ(r.offsetIndex, c.at);  // never moved off the pulse
        }
        EXPECT_EQ(r.inverted, c.inverted);
        const std::string verdict = checkVerdict(r);
        EXPECT_NE(verdict.find(c.verdict), std::string::npos) << verdict;
        const auto option = [](CheckField f) {
            return std::string(f == CheckField::WindowBefore ? "--window-before" : "--other");
        };
        if (r.reason == CheckReason::WindowBeforeOutside) {
            EXPECT_NE(checkVerdict(r, option).find("or set --window-before 0"), std::string::npos);
        }
    }
}

// A plan reads back as the plan written, every digit and the passed-through
// conditioning kept; a plan with a wrong key or value is refused by name.
TEST(ToleranceCheck, PlanRoundTrips) {
    TestPlan plan;
    plan.shape = PulseType::TerminalSawtooth;
    plan.amplitude = -0.1 - 0.2;
    plan.pulseDuration = 1e-300;
    plan.unit = TimeUnit::Seconds;
    plan.settings.band = 1.0 / 3;
    plan.settings.spectrum = SpectrumTolerance{-1.5, 3};
    plan.settings.srs.fromHz = 12.5;
    plan.conditioning = R"({"high_pass_hz":2.0,"note":"later"})";
    plan.channels = {"2", "z axis"};
    const std::string text = testPlanJson(plan);
    const TestPlan back = readTestPlan(text);
    EXPECT_EQ(testPlanJson(back), text);
    EXPECT_EQ(*back.amplitude, -0.1 - 0.2);
    EXPECT_EQ(back.settings.band, 1.0 / 3);
    EXPECT_FALSE(back.settings.srs.toHz.has_value());
    EXPECT_FALSE(planPulse(readTestPlan("{}")).has_value());

    const std::pair<const char*, const char*> bad[] = {
        {"[]", "must be an object"},
        {R"({"nominal": {"amplitude": "5"}})", "nominal.amplitude: must be a number"},
        {R"({"nominal": {"shape": "square"}})", "nominal.shape: must be half-sine or"},
        {R"({"spectrum": {"q": 5}})", "spectrum.tolerance_db: must be"},
        {R"({"channel": []})", "channel: is not a plan key"},
        {"{", "not JSON"},
    };
    for (const auto& [json, says] : bad) {
        try {
            readTestPlan(json);
            ADD_FAILURE() << json << ": accepted";
        } catch (const TestPlanError& e) {
            EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
        }
    }
}

// The exact extremes of the nominal over an interval bound every sample of
// it there and are reached: a dense sampling comes within its slope times
// the step.
TEST(ToleranceCheck, NominalRangeIsExact) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> where(-0.5, 1.5), width(0.0, 0.5);
    for (PulseType shape : {PulseType::HalfSine, PulseType::TerminalSawtooth}) {
        for (double A : {3.0, -0.7}) {
            const double D = 0.011;
            const CheckPulse p{shape, A, D};
            const double slope = std::fabs(A) / D * (shape == PulseType::HalfSine ? kPi : 1.0);
            std::vector<std::pair<double, double>> intervals = {
                {D, D}, {D, 1.2 * D}, {0.9 * D, D}, {-0.1 * D, 0}, {D / 2, D / 2}, {-D, -0.5 * D}};
            for (int k = 0; k < 300; ++k) {
                const double from = where(rng) * D;
                intervals.emplace_back(from, from + width(rng) * D);
            }
            for (const auto& [from, to] : intervals) {
                const NominalRange r = nominalRange(p, from, to);
                constexpr int kSteps = 4000;
                const double h = (to - from) / kSteps;
                double lo = INFINITY, hi = -INFINITY;
                for (int j = 0; j <= kSteps; ++j) {
                    const double v = nominalAt(p, j == kSteps ? to : from + j * h);
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
                SCOPED_TRACE(testing::Message()
                             << "A " << A << " [" << from / D << ", " << to / D << "] D");
                EXPECT_LE(hi, r.max);
                EXPECT_GE(lo, r.min);
                EXPECT_LE(r.max - hi, slope * h + 1e-12);
                EXPECT_LE(lo - r.min, slope * h + 1e-12);
            }
        }
    }
}

}  // namespace
}  // namespace korvex
