// Timings of the core: the series, one line, and a whole two-million-line
// file. BM_WriteZeros writes the same number of bytes the way
// `dd bs=1000000` does, as the yardstick for the file benchmark.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace

BENCHMARK_MAIN();
