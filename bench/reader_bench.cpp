// Reading the two-million-line file korvex writes for an 11 ms half-sine in
// a 200 s record at 10 kHz (66,000,000 bytes): from disk the way korvex-cli
// will, and from memory by the fast paths and by the plain parser alone.
//
// `reader_bench --read-once FILE` reads FILE once and prints what it read,
// for timing the whole process against other readers
// (bench/read_vs_numpy.py). Otherwise the file is made in the temporary
// folder, or taken from $KORVEX_READ_FILE.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/record_reader.h"
#include "pulse/file_sink.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace {

const korvex::PulseParameters kLongRecord{
    1.0, 0.011, 200.0, 10000.0, korvex::PulseType::HalfSine, korvex::TimeUnit::Seconds};

bool madeFile = false;

const std::string& bigFile() {
    static const std::string path = [] {
        if (const char* given = std::getenv("KORVEX_READ_FILE")) return std::string(given);
        madeFile = true;
        const std::string made =
            (std::filesystem::temp_directory_path() / "korvex_reader_bench.txt").string();
        korvex::FileSink sink(made);
        korvex::writePulseTimeHistory(sink, kLongRecord);
        sink.close();
        return made;
    }();
    return path;
}

const std::string& bigText() {
    static const std::string text = [] {
        std::ifstream in(bigFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return text;
}

korvex::ReadOptions withThreads(unsigned threads) {
    korvex::ReadOptions o;
    o.threads = threads;
    return o;
}

void BM_ReadFile(benchmark::State& state) {
    const korvex::ReadOptions o = withThreads(static_cast<unsigned>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(korvex::readRecord(bigFile(), o));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(bigFile())));
}
BENCHMARK(BM_ReadFile)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseText(benchmark::State& state) {
    const korvex::ReadOptions o = withThreads(static_cast<unsigned>(state.range(0)));
    const std::string& text = bigText();
    for (auto _ : state) benchmark::DoNotOptimize(korvex::parseRecord(text, "big", o));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseText)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every line field by field, on one thread: what the templates save.
void BM_ParseTextPlain(benchmark::State& state) {
    const std::string& text = bigText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            korvex::detail::parseRecordBy(text, "big", {}, korvex::detail::ReadPath::Plain));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseTextPlain)->Unit(benchmark::kMillisecond)->UseRealTime();

// The templates without the 32-byte vectors, on one thread.
void BM_ParseTextNarrow(benchmark::State& state) {
    const std::string& text = bigText();
    korvex::ReadOptions o = withThreads(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            korvex::detail::parseRecordBy(text, "big", o, korvex::detail::ReadPath::Templates));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseTextNarrow)->Unit(benchmark::kMillisecond)->UseRealTime();

int readOnce(const char* path) {
    try {
        const korvex::Channel r = korvex::readRecord(path, {}).channel();
        const auto text = [](double x) {
            char buf[32];
            return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
        };
        const std::string line = "{\"samples\": " + std::to_string(r.size()) +
                                 ", \"start_s\": " + text(r.startS) +
                                 ", \"interval_s\": " + text(r.intervalS) + "}\n";
        std::fputs(line.c_str(), stdout);
        return 0;
    } catch (const korvex::RecordError& e) {
        std::fprintf(stderr, "reader_bench: %s\n", e.what());
        return e.kind() == korvex::RecordError::Kind::Unreadable ? 1 : 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--read-once") == 0) return readOnce(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (madeFile) std::filesystem::remove(bigFile());
    return 0;
}
