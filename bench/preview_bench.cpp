// User-interface thread time of the preview for the 2,000,000-sample record:
// figures, min/max reduction, axes and drawing the time-history chart. The
// CPU column is this thread's own time; the spectrum's worker is not in it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QEventLoop>

#include <charconv>
#include <cmath>
#include <fstream>

#include "pulse/pulse_series.h"
#include "ui/app/side_pane.h"
#include "ui/form/calculate_command.h"
#include "ui/lab/record_lab.h"
#include "ui/preview/preview_pane.h"

namespace {

const korvex::PulseParameters kLongRecord{
    1.0, 0.011, 200.0, 10000.0, korvex::PulseType::HalfSine, korvex::TimeUnit::Seconds};
const korvex::PulseParameters kAllPulse{
    1.0, 200.0, 200.0, 10000.0, korvex::PulseType::HalfSine, korvex::TimeUnit::Seconds};

void preview(benchmark::State& state, const korvex::PulseParameters& p, bool draw) {
    korvex::PreviewPane pane;
    pane.resize(700, 560);
    pane.show();
    korvex::computePulseSeries(p);
    pane.showPulse(p, korvex::pulseSeries);
    QApplication::processEvents();
    for (auto _ : state) {
        pane.showPulse(p, korvex::pulseSeries);
        if (draw) benchmark::DoNotOptimize(pane.timeHistoryView()->grab());
    }
}

void BM_ShowPulse(benchmark::State& state) {
    preview(state, kLongRecord, false);
}
BENCHMARK(BM_ShowPulse)->Unit(benchmark::kMillisecond);

void BM_ShowAndDrawPulse(benchmark::State& state) {
    preview(state, kLongRecord, true);
}
BENCHMARK(BM_ShowAndDrawPulse)->Unit(benchmark::kMillisecond);

void BM_ShowAndDrawWholeRecordPulse(benchmark::State& state) {
    preview(state, kAllPulse, true);
}
BENCHMARK(BM_ShowAndDrawWholeRecordPulse)->Unit(benchmark::kMillisecond);

// A zoom or pan step on the 2,000,000-sample record: the axes, the min/max
// reduction of the samples in view and (with draw) painting the chart.
void zoomRedraw(benchmark::State& state, korvex::ChartRange range, bool draw) {
    korvex::PreviewPane pane;
    pane.resize(700, 560);
    pane.show();
    korvex::computePulseSeries(kLongRecord);
    pane.showPulse(kLongRecord, korvex::pulseSeries);
    QApplication::processEvents();
    for (auto _ : state) {
        pane.setView(pane.timeHistoryView(), range);
        if (draw) benchmark::DoNotOptimize(pane.timeHistoryView()->grab());
    }
}

const korvex::ChartRange kWholeRecord{0, 200, -0.1, 1.1};
const korvex::ChartRange kAroundThePulse{0, 0.02, -0.1, 1.1};
const korvex::ChartRange kOneSecond{50, 51, -0.1, 1.1};
BENCHMARK_CAPTURE(zoomRedraw, whole_record, kWholeRecord, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(zoomRedraw, one_second, kOneSecond, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(zoomRedraw, around_the_pulse, kAroundThePulse, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(zoomRedraw, whole_record_drawn, kWholeRecord, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(zoomRedraw, around_the_pulse_drawn, kAroundThePulse, true)
    ->Unit(benchmark::kMillisecond);

// Open Record on a 2,000,000-sample record (200 s at 10 kHz, a 50-unit,
// 11 ms half-sine at 0.5 s, a little ripple): wall time from the request to
// the verdict shown and painted, reading and checking on the worker included.
// The form's nominal pulse: 50, 11 ms half-sine.
korvex::NominalPulse nominal() {
    korvex::NominalPulse n;
    n.pulse = {korvex::PulseType::HalfSine, 50.0, 0.011};
    n.unit = korvex::TimeUnit::Milliseconds;
    return n;
}

std::string bigRecord() {
    const std::string path = QDir::temp().filePath("korvex_bench_record.csv").toStdString();
    std::string text = "time_s,accel\n";
    char buf[64];
    for (int i = 0; i < korvex::kMaxSamples; ++i) {
        const double t = i / 10000.0, s = t - 0.5;
        double v = 0.3 * std::sin(2 * korvex::kPi * 900 * t);
        if (s >= 0 && s <= 0.011) v += 50 * std::sin(korvex::kPi * s / 0.011);
        text.append(buf, std::to_chars(buf, buf + sizeof buf, t).ptr);
        text += ',';
        text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        text += '\n';
    }
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void BM_OpenAndCheckRecord(benchmark::State& state) {
    const std::string path = bigRecord();
    korvex::SidePane pane;
    pane.nominalChanged(nominal());
    pane.resize(700, 560);
    pane.show();
    QApplication::processEvents();
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&pane, &korvex::SidePane::recordChecked, &loop, &QEventLoop::quit);
        QObject::connect(&pane, &korvex::SidePane::recordFailed, &loop, &QEventLoop::quit);
        pane.lab()->openRecord(QString::fromStdString(path), {});
        loop.exec();
        benchmark::DoNotOptimize(pane.grab());  // painted, verdict and charts
        state.PauseTiming();
        if (!pane.openMessage().isEmpty()) state.SkipWithError("not opened");
        // The spectra that follow the verdict are not part of it.
        pane.cancelWork();
        state.ResumeTiming();
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_OpenAndCheckRecord)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
