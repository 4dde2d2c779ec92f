// User-interface thread time of the preview for the 2,000,000-sample record:
// figures, min/max reduction, axes and drawing the time-history chart. The
// CPU column is this thread's own time; the spectrum's worker is not in it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>

#include "pulse/pulse_series.h"
#include "ui/preview_pane.h"

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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
