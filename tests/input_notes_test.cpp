#include "pulse/input_notes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace korvex {
namespace {

constexpr auto kSec = TimeUnit::Seconds;
constexpr auto kMs = TimeUnit::Milliseconds;
constexpr auto kSine = PulseType::HalfSine;
constexpr auto kSaw = PulseType::TerminalSawtooth;

struct NoteCase {
    const char* what;
    std::optional<PulseTexts> typed;  // none: read strictly, as korvex-cli does
    PulseParameters p;
    std::vector<std::string> notes;
};

class Notes : public testing::TestWithParam<NoteCase> {};

TEST_P(Notes, SayWhatWasReadAndWhatCameOut) {
    const NoteCase& c = GetParam();
    EXPECT_EQ(inputNotes(c.typed ? &*c.typed : nullptr, c.p), c.notes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Notes,
    testing::Values(
        NoteCase{"plain_numbers_blanks_and_negative",
                 PulseTexts{" -50", "11 ", "2000", "10"},
                 {-50, 11, 2000, 10, kSine, kMs},
                 {}},
        NoteCase{"texts_read_as",
                 PulseTexts{"50,5", "11ms", "", "10/ms"},
                 {50, 11, 0, 10, kSine, kMs},
                 {"Amplitude: \"50,5\" read as 50", "Pulse duration: \"11ms\" read as 11",
                  "Total duration: empty, read as 0", "Sample rate: \"10/ms\" read as 10",
                  "Total duration: 0 ms is shorter than the pulse, so the record was lengthened "
                  "to the pulse (11 ms)"}},
        NoteCase{"letters_read_as_zero",
                 PulseTexts{"abc", "11", "100", "10"},
                 {0, 11, 100, 10, kSine, kMs},
                 {"Amplitude: \"abc\" read as 0"}},
        NoteCase{"empty_pulse",
                 {},
                 {50, 0, 100, 10, kSine, kMs},
                 {"Pulse duration: 0 ms, so the pulse is empty"}},
        NoteCase{"record_lengthened",
                 {},
                 {50, 0.011, 0.005, 10000, kSine, kSec},
                 {"Total duration: 0.005 s is shorter than the pulse, so the record was "
                  "lengthened to the pulse (0.011 s)"}},
        NoteCase{"undersampled",
                 {},
                 {50, 11, 100, 0.1, kSine, kMs},
                 {"undersampled: 2 samples in the pulse; the sampled peak is 14.0866 of 50"}},
        // 220 x (1 / 20000) is 0.011000000000000001: the end sample is 0.
        NoteCase{"ramp_end_rounded_past",
                 {},
                 {40, 0.011, 0.1, 20000, kSaw, kSec},
                 {"Peak: the sampled peak is 39.8182 of 40, 0.455 % short: the sample due at "
                  "the pulse end (0.011 s) computes to just past it and is 0; the last ramp "
                  "sample is at 0.01095 s"}},
        NoteCase{"ramp_end_between_samples",
                 {},
                 {40, 11, 20, 0.95, kSaw, kMs},
                 {"Peak: the sampled peak is 38.2775 of 40, 4.31 % short: no sample falls on "
                  "the pulse end (11 ms); the last ramp sample is at 10.5263 ms"}},
        NoteCase{"sine_middle_between_samples",
                 {},
                 {-50, 11, 20, 1, kSine, kMs},
                 {"Peak: the sampled peak is -49.4911 of -50, 1.02 % short: no sample falls on "
                  "the pulse's middle (5.5 ms); the largest sample is at 6 ms"}},
        NoteCase{"record_cut_before_ramp_end",
                 {},
                 {1, 300, 300, 10000, kSaw, kSec},
                 {"Peak: the sampled peak is 0.666666 of 1, 33.3 % short: the record ends at "
                  "200 s, before the pulse's peak (it was cut at 2000000 samples)"}},
        // The record's 219 samples end a step before the ramp does.
        NoteCase{"record_ends_before_ramp_end",
                 {},
                 {40, 0.011, 0.011, 20000, kSaw, kSec},
                 {"Peak: the sampled peak is 39.6364 of 40, 0.909 % short: the record ends at "
                  "0.0109 s, before the pulse's peak"}},
        NoteCase{"too_few_samples_have_their_own_warning",
                 PulseTexts{"50", "11", "", "0,1"},
                 {50, 11, 0, 0, kSine, kMs},
                 {"Total duration: empty, read as 0", "Sample rate: \"0,1\" read as 0"}}),
    [](const testing::TestParamInfo<NoteCase>& info) { return std::string(info.param.what); });

// The peak is looked for around where it must be; it is the one a scan of
// every stored sample finds.
TEST(PulseSampling, MatchesAScanOfTheWholeSeries) {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int run = 0; run < 400; ++run) {
        PulseParameters p;
        p.pulseType = run % 2 ? kSine : kSaw;
        p.timeUnit = run % 3 ? kMs : kSec;
        p.amplitude = (unit(rng) - 0.3) * 200;
        p.pulseDuration = 0.5 + unit(rng) * 20;
        p.totalDuration = p.pulseDuration * (0.5 + unit(rng) * 2);
        p.sampleRate = std::pow(10.0, unit(rng) * 3.5 - 1);  // 0.1 to 300 per unit
        const int count = computePulseSeries(p);
        int samples = 0, peak = -1;
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) * (1.0 / p.sampleRate);
            if (t > p.pulseDuration) break;
            ++samples;
            const double a = pulseSeries.amplitude[i];
            if (peak < 0 || std::fabs(a) > std::fabs(pulseSeries.amplitude[peak])) peak = i;
        }
        const PulseSampling s = pulseSampling(p);
        ASSERT_EQ(s.samples, samples) << run;
        ASSERT_EQ(s.peakIndex, peak) << run;
        if (peak >= 0) {
            ASSERT_EQ(s.peak, pulseSeries.amplitude[peak]) << run;
        }
    }
}

}  // namespace
}  // namespace korvex
