// The lab formats against the text reader, in memory: a 2,000,000-sample,
// six-channel LabVIEW measurement file per byte against a CSV of the same
// numbers, and 2,000,000 samples of .mat and WAV against the text reader
// reading the same samples as time,value lines.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/record/formats/lvm_format.h"
#include "analysis/record/formats/mat_format.h"
#include "analysis/record/formats/wav_format.h"
#include "analysis/record_reader.h"
#include "format_fixtures.h"

namespace {

constexpr std::size_t kSamples = 2'000'000;
constexpr double kRate = 51200.0;

std::vector<double> channel(int k) {
    std::vector<double> v(kSamples);
    for (std::size_t i = 0; i < kSamples; ++i) {
        v[i] = std::round(std::sin(0.001 * static_cast<double>(i) * (k + 1)) * 1e6) / 1e6 * 0.9;
    }
    return v;
}

const std::vector<korvex::fixtures::Series>& six() {
    static const auto s = [] {
        std::vector<korvex::fixtures::Series> out;
        for (int k = 0; k < 6; ++k)
            out.push_back({"ch" + std::to_string(k), "g", 0.0, 1.0 / kRate, channel(k)});
        return out;
    }();
    return s;
}

const std::string& lvm() {
    static const std::string text = korvex::fixtures::lvmFile({six()});
    return text;
}

// The same rows as the LVM file (X column to six decimals, six values) as CSV.
std::string csvOf(std::size_t channels) {
    std::string out = "time";
    for (std::size_t k = 0; k < channels; ++k) (out += ",ch") += std::to_string(k);
    out += '\n';
    char buf[64];
    for (std::size_t i = 0; i < kSamples; ++i) {
        out.append(buf, std::to_chars(buf, buf + 64, static_cast<double>(i) / kRate,
                                      std::chars_format::fixed, 6)
                            .ptr);
        for (std::size_t k = 0; k < channels; ++k) {
            out += ',';
            out += korvex::fixtures::number(six()[k].values[i]);
        }
        out += '\n';
    }
    return out;
}

template <class Read>
void run(benchmark::State& state, const std::string& bytes, const Read& read) {
    for (auto _ : state) benchmark::DoNotOptimize(read());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    state.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
}

korvex::ReadOptions threads(benchmark::State& state) {
    korvex::ReadOptions o;
    o.threads = static_cast<unsigned>(state.range(1));
    o.timeColumn = "none";
    o.rateHz = kRate;  // the CSV's rounded times would fail the 1 % rule, as the LVM's X column
    return o;
}

// range(0) channels, on range(1) threads.
void BM_TextCsv(benchmark::State& state) {
    static const std::string csv[] = {csvOf(1), csvOf(6)};
    const std::string& text = csv[state.range(0) == 6];
    const korvex::ReadOptions o = threads(state);
    run(state, text, [&] { return korvex::parseRecord(text, "csv", o); });
}
BENCHMARK(BM_TextCsv)
    ->Args({6, 1})
    ->Args({6, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LvmSixChannels(benchmark::State& state) {
    const korvex::LvmFormat format;
    const korvex::RecordInput input{"lvm", lvm()};
    run(state, lvm(), [&] { return format.read(input, {}); });
}
BENCHMARK(BM_LvmSixChannels)->Unit(benchmark::kMillisecond)->UseRealTime();

// range(0) 1: from standard input (through a temporary file), 0: from a named file.
void BM_MatOneChannel(benchmark::State& state) {
    static const std::string mat =
        korvex::fixtures::matFile({{"accel", kSamples, 1, six()[0].values}, {"fs", 1, 1, {kRate}}});
    const std::string path =
        (std::filesystem::temp_directory_path() / "korvex_formats_bench.mat").string();
    std::ofstream(path, std::ios::binary) << mat;
    const korvex::MatFormat format;
    korvex::FormatOptions o;
    o.rateVariable = "fs";
    const korvex::RecordInput input{state.range(0) ? "-" : path, mat};
    run(state, mat, [&] { return format.read(input, {}, o); });
    std::filesystem::remove(path);
}
BENCHMARK(BM_MatOneChannel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WavOneChannel(benchmark::State& state) {
    static const std::string wav = korvex::fixtures::wavFile({six()[0].values}, 51200, 16);
    const korvex::WavFormat format;
    run(state, wav, [&] { return format.read({"-", wav}, {}); });
}
BENCHMARK(BM_WavOneChannel)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
