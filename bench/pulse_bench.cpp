// Timings of the core: the series, one line, and a whole two-million-line
// file. BM_WriteZeros writes the same number of bytes the way
// `dd bs=1000000` does, as the yardstick for the file benchmark.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/pulse_figures.h"
#include "analysis/srs.h"
#include "pulse/compensation.h"
#include "pulse/file_sink.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace {

using korvex::PulseParameters;

// 2,000,000 samples of an 11 ms half-sine in a 200 s record at 10 kHz.
const PulseParameters kLongRecord{
    1.0, 0.011, 200.0, 10000.0, korvex::PulseType::HalfSine, korvex::TimeUnit::Seconds};
// 2,000,000 samples that all lie in the pulse: the sine on every one.
const PulseParameters kAllPulse{
    1.0, 200.0, 200.0, 10000.0, korvex::PulseType::HalfSine, korvex::TimeUnit::Seconds};

std::string outputPath() {
    return (std::filesystem::temp_directory_path() / "korvex_bench.txt").string();
}

void BM_ComputeLongRecord(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(korvex::computePulseSeries(kLongRecord));
    state.SetItemsProcessed(state.iterations() * korvex::kMaxSamples);
}
BENCHMARK(BM_ComputeLongRecord)->Unit(benchmark::kMillisecond);

void BM_ComputeAllInPulse(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(korvex::computePulseSeries(kAllPulse));
    state.SetItemsProcessed(state.iterations() * korvex::kMaxSamples);
}
BENCHMARK(BM_ComputeAllInPulse)->Unit(benchmark::kMillisecond);

void BM_FormatLine(benchmark::State& state) {
    char line[korvex::kTimeHistoryLineSize];
    double t = 0.0123456, a = -0.98765;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t);
        benchmark::DoNotOptimize(a);
        korvex::formatTimeHistoryLineTo(line, t, a);
        benchmark::DoNotOptimize(line);
    }
}
BENCHMARK(BM_FormatLine);

// Formatting alone, into a sink that keeps nothing: the long record (the
// fast path for +0 amplitudes) and the all-pulse one (digits everywhere).
void BM_FormatRecordInMemory(benchmark::State& state) {
    struct Discard : korvex::OutputSink {
        std::vector<char> buffer = std::vector<char>(std::size_t{1} << 20);
        std::size_t maxReserve() const override { return buffer.size(); }
        char* reserve(std::size_t) override { return buffer.data(); }
        void commit(std::size_t) override { benchmark::ClobberMemory(); }
        void write(const char*, std::size_t) override {}
    } sink;
    const PulseParameters& p = state.range(0) == 0 ? kLongRecord : kAllPulse;
    for (auto _ : state) korvex::writePulseTimeHistory(sink, p);
    state.SetItemsProcessed(state.iterations() * korvex::kMaxSamples);
}
BENCHMARK(BM_FormatRecordInMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ComputeAndWriteFile(benchmark::State& state) {
    const std::string path = outputPath();
    for (auto _ : state) {
        korvex::computePulseSeries(kLongRecord);
        korvex::FileSink sink(path);
        korvex::writeTimeHistory(sink, korvex::pulseSeries);
        sink.close();
    }
    state.SetBytesProcessed(state.iterations() * 66'000'000);
    std::remove(path.c_str());
}
BENCHMARK(BM_ComputeAndWriteFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// korvex-cli's way: computed a piece at a time as it is written.
void BM_StreamFile(benchmark::State& state) {
    const std::string path = outputPath();
    for (auto _ : state) {
        korvex::FileSink sink(path);
        korvex::writePulseTimeHistory(sink, kLongRecord);
        sink.close();
    }
    state.SetBytesProcessed(state.iterations() * 66'000'000);
    std::remove(path.c_str());
}
BENCHMARK(BM_StreamFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteZeros(benchmark::State& state) {
    const std::string path = outputPath();
    const std::vector<char> block(1'000'000, '\0');
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::setvbuf(f, nullptr, _IONBF, 0);
        for (int i = 0; i < 66; ++i) std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * 66'000'000);
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteZeros)->Unit(benchmark::kMillisecond)->UseRealTime();

// The shock response spectrum of the 2,000,000-sample record, 10 Hz to 1 kHz
// at 12 per octave (80 frequencies); argument: threads (0: every core).
// Ring-down: the 11 ms pulse, then zeros. Whole record: a pulse as long as
// the record, so no filter can stop early.
void shockSpectrum(benchmark::State& state, const PulseParameters& p) {
    korvex::computePulseSeries(p);
    const korvex::SrsPlan plan = korvex::planShockSpectrum({}, korvex::sampleIntervalSeconds(p));
    const std::span<const double> x(korvex::pulseSeries.amplitude.data(), korvex::kMaxSamples);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            korvex::computeShockSpectrum(x, plan, static_cast<unsigned>(state.range(0))));
    }
    state.counters["frequencies"] = static_cast<double>(plan.frequencies.size());
}
void BM_ShockSpectrumRingDown(benchmark::State& state) {
    shockSpectrum(state, kLongRecord);
}
BENCHMARK(BM_ShockSpectrumRingDown)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ShockSpectrumWholeRecord(benchmark::State& state) {
    shockSpectrum(state, kAllPulse);
}
BENCHMARK(BM_ShockSpectrumWholeRecord)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same spectrum of 2,000,000 samples of noise, which no filter rings
// down in: every frequency runs over every sample.
void BM_ShockSpectrumNoise(benchmark::State& state) {
    std::mt19937_64 rng(19);
    std::normal_distribution<double> noise;
    std::vector<double> x(korvex::kMaxSamples);
    for (double& v : x) v = noise(rng);
    const korvex::SrsPlan plan = korvex::planShockSpectrum({}, 1e-4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            korvex::computeShockSpectrum(x, plan, static_cast<unsigned>(state.range(0))));
    }
    state.counters["frequencies"] = static_cast<double>(plan.frequencies.size());
}
BENCHMARK(BM_ShockSpectrumNoise)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PulseFigures(benchmark::State& state) {
    korvex::computePulseSeries(kLongRecord);
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvex::computePulseFigures(korvex::pulseSeries, kLongRecord));
    }
}
BENCHMARK(BM_PulseFigures)->Unit(benchmark::kMillisecond);

// The long record with compensation at P = 0.2, planned and filled: to
// set against BM_ComputeLongRecord, the same record without.
void BM_CompensatedLongRecord(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            korvex::computeCompensatedSeries(kLongRecord, 0.2, korvex::pulseSeries));
    }
    state.SetItemsProcessed(state.iterations() * korvex::kMaxSamples);
}
BENCHMARK(BM_CompensatedLongRecord)->Unit(benchmark::kMillisecond);

// Velocity and displacement of the compensated long record: the figures in
// one pass (0), or the two arrays that the motion table is written from (1).
void BM_Motion(benchmark::State& state) {
    korvex::computeCompensatedSeries(kLongRecord, 0.2, korvex::pulseSeries);
    const std::span<const double> accel(korvex::pulseSeries.amplitude.data(), korvex::kMaxSamples);
    const double dt = korvex::sampleIntervalSeconds(kLongRecord);
    std::vector<double> velocity(accel.size()), displacement(accel.size());
    for (auto _ : state) {
        if (state.range(0) == 0) {
            benchmark::DoNotOptimize(korvex::computeMotion(accel, dt));
        } else {
            korvex::integrateMotion(accel, dt, velocity, displacement);
            benchmark::DoNotOptimize(velocity.data());
            benchmark::DoNotOptimize(displacement.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * korvex::kMaxSamples);
}
BENCHMARK(BM_Motion)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
