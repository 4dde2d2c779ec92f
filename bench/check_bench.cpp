// Timings of the tolerance check on the longest record korvex writes:
// 2,000,000 samples at 10 kHz with an 11 ms half-sine 100 s in, and with a
// 60 s one.
// Arguments: whether the record has a time column (as one read from a file
// has), and its noise: 0 none, 1 a measured-looking 1 % of the amplitude,
// 2 noise alone (no pulse to find).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "analysis/tolerance_check.h"

namespace {

using namespace korvex;

constexpr std::size_t kSamples = 2'000'000;
constexpr double kDt = 1e-4;
const CheckPulse kPulse{PulseType::HalfSine, 1.0, 0.011};

struct LongRecord {
    std::vector<double> time, values;
    RecordView view(bool withTimes) const {
        return {withTimes ? std::span<const double>(time) : std::span<const double>(), values, 0.0,
                kDt};
    }
};

const LongRecord& longRecord(int noise) {
    static LongRecord records[3];
    LongRecord& r = records[noise];
    if (r.values.empty()) {
        std::mt19937_64 rng(42);
        std::normal_distribution<double> gauss(0.0, noise == 2 ? 1.0 : 0.01);
        const RecordView uniform{{}, {}, 0.0, kDt};
        const CheckPulse pulse{PulseType::HalfSine, noise == 2 ? 0.0 : 1.0, 0.011};
        for (std::size_t i = 0; i < kSamples; ++i) {
            r.time.push_back(uniform.timeAt(i));
            r.values.push_back(nominalAt(pulse, r.time.back() - 100.0) +
                               (noise > 0 ? gauss(rng) : 0.0));
        }
    }
    return r;
}

void BM_CheckLongRecord(benchmark::State& state) {
    const RecordView view = longRecord(static_cast<int>(state.range(1))).view(state.range(0) != 0);
    std::size_t evaluated = 0;
    for (auto _ : state) {
        const CheckReport r = checkRecord(view, kPulse, {}, static_cast<unsigned>(state.range(2)));
        benchmark::DoNotOptimize(r);
    }
    evaluated = alignPulse(view, kPulse, {}, AlignSearch::Fast).evaluated;
    state.counters["starts_costed"] = static_cast<double>(evaluated);
}
BENCHMARK(BM_CheckLongRecord)
    ->ArgNames({"times", "noise", "threads"})
    ->Args({1, 0, 0})
    ->Args({1, 1, 0})
    ->Args({1, 1, 1})
    ->Args({0, 1, 0})
    ->Args({1, 2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A 60 s nominal in the 200 s record: one FFT block of the whole record.
void BM_CheckSixtySecondPulse(benchmark::State& state) {
    static LongRecord r;
    const CheckPulse pulse{PulseType::HalfSine, 1.0, 60.0};
    if (r.values.empty()) {
        std::mt19937_64 rng(42);
        std::normal_distribution<double> gauss(0.0, 0.01);
        for (std::size_t i = 0; i < kSamples; ++i) {
            r.values.push_back(nominalAt(pulse, static_cast<double>(i) * kDt - 100.0) + gauss(rng));
        }
    }
    CheckSettings settings;
    settings.windowAfter = 0.5;
    for (auto _ : state) {
        const CheckReport rep = checkRecord(r.view(false), pulse, settings);
        benchmark::DoNotOptimize(rep);
    }
    state.counters["starts_costed"] =
        static_cast<double>(alignPulse(r.view(false), pulse, settings).evaluated);
}
BENCHMARK(BM_CheckSixtySecondPulse)->Unit(benchmark::kMillisecond)->UseRealTime();

// Costing every start, for comparison: the scan the FFT search avoids.
void BM_AlignEveryStart(benchmark::State& state) {
    const RecordView view = longRecord(1).view(true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(alignPulse(view, kPulse, {}, AlignSearch::Every));
    }
}
BENCHMARK(BM_AlignEveryStart)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
